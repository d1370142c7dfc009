#include "catalog/catalogfilenames.h"

#include <algorithm>

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
