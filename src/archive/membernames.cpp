#include "archive/membernames.h"

#include <algorithm>

namespace mellowby::archive {

namespace {

// Long enough for any name a member usually has, short enough that a suffix " (99)" still fits
// the 255 bytes of a file name.
constexpr std::size_t kMaxFileName = 240;
constexpr std::size_t kMaxExtension = 16;

bool isContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The longest prefix of text of at most limit bytes that ends at a character boundary.
std::string_view cutAtCharacter(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t cut = limit;
    while (cut > 0 && isContinuation(text[cut]))
        --cut;
    return text.substr(0, cut);
}

std::size_t extensionStart(std::string_view name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot > kMaxExtension)
        return name.size();
    return dot;
}

} // namespace

std::vector<std::string_view> treeComponents(std::string_view path)
{
    std::vector<std::string_view> components;
    while (!path.empty()) {
        const auto slash = path.find('/');
        const std::string_view component = path.substr(0, slash);
        if (!component.empty() && component != ".")
            components.push_back(component);
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return components;
}

std::string safeFileName(std::string_view memberName)
{
    const auto components = treeComponents(memberName);
    std::string name(components.empty() ? std::string_view() : components.back());
    for (char& c : name) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    }
    // A name that is a path of Windows ("C:\dir\x.txt") ends up as one harmless name.
    if (name.empty() || name == "." || name == "..")
        name = "_" + name;
    if (name.size() > kMaxFileName) {
        const std::size_t dot = extensionStart(name);
        const std::string extension = name.substr(dot);
        name = std::string(cutAtCharacter(std::string_view(name).substr(0, dot), kMaxFileName - extension.size()))
            + extension;
    }
    return name;
}

std::string numberedFileName(std::string_view fileName, unsigned n)
{
    const std::size_t dot = extensionStart(fileName);
    return std::string(fileName.substr(0, dot)) + " (" + std::to_string(n) + ")" + std::string(fileName.substr(dot));
}

} // namespace mellowby::archive
