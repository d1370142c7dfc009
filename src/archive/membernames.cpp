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

bool isValidUtf8(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        std::size_t length = 0;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
            high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length || p[1] < low || p[1] > high)
            return false;
        for (std::size_t i = 2; i < length; ++i) {
            if (!isContinuation(static_cast<char>(p[i])))
                return false;
        }
        p += length;
    }
    return true;
}

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
