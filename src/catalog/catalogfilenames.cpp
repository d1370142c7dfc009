#include "catalog/catalogfilenames.h"

#include <algorithm>
#include <array>
#include <utility>

#include "app/casefold.h"
#include "app/codepage936.h"
#include "catalog/textutils.h"

namespace mellowby::catalog {

namespace {

constexpr std::string_view kXml = ".xml";

std::string_view withoutXml(std::string_view name)
{
    return endsWithXmlAnyCase(name) ? name.substr(0, name.size() - kXml.size()) : name;
}

} // namespace

bool endsWithXmlAnyCase(std::string_view name)
{
    if (name.size() < kXml.size())
        return false;
    return std::ranges::equal(name.substr(name.size() - kXml.size()), kXml,
        [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

std::string xmlFileNameOf(std::string_view name)
{
    return endsWithXmlAnyCase(name) ? std::string(name) : std::string(name) + std::string(kXml);
}

// A final ".xml" (any case) replaced by the companion's extension, else the extension appended.
std::string companionFileNameOf(std::string_view name, Companion which)
{
    return std::string(withoutXml(name)) + std::string(kCompanionExtensions[std::to_underlying(which)]);
}

CatalogFileNames catalogFileNames(std::string_view typedName)
{
    const std::string_view name = typedName.empty() ? kUnnamedCatalog : typedName;
    CatalogFileNames names { xmlFileNameOf(name), {}, std::string(typedName) };
    for (const Companion which : kCompanions)
        names.companionNames[std::to_underlying(which)] = companionFileNameOf(name, which);
    return names;
}

std::string effectiveCatalogName(std::string_view typedName)
{
    return std::string(typedName.empty() ? kUnnamedCatalog : typedName);
}

std::string catalogKeyOf(std::string_view name)
{
    return std::string(withoutXml(name));
}

std::string catalogNameOfFile(std::string_view fileName)
{
    app::Utf8OrCp936Reader reader;
    return getShortName(reader.read(fileName));
}

std::string catalogNameKey(std::string_view name)
{
    // Each second character of a pair as its first: the UTF-8 of U+30FB and U+2015, of U+00B7 and
    // U+2014.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 2> kSameBytes { {
        { "\xE3\x83\xBB", "\xC2\xB7" },
        { "\xE2\x80\x95", "\xE2\x80\x94" },
    } };
    std::string text(name);
    for (const auto& [written, read] : kSameBytes) {
        for (std::size_t at = text.find(written); at != std::string::npos; at = text.find(written, at + read.size()))
            text.replace(at, written.size(), read);
    }
    return app::foldCase(text);
}

std::optional<std::string> catalogNameProblem(std::string_view name)
{
    if (name == "." || name == "..")
        return "名称“" + std::string(name) + "”不能用作目录名称。";
    if (name.find('/') != std::string_view::npos)
        return "目录名称“" + std::string(name) + "”中含有“/”，会指向数据目录以外的位置。";
    if (name.find('\0') != std::string_view::npos)
        return "目录名称中不能含有空字符。";
    return std::nullopt;
}

} // namespace mellowby::catalog
