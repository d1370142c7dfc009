#include "catalog/catalognames.h"

#include <algorithm>

namespace mellowby::catalog {

namespace {

bool endsWithXmlAnyCase(std::string_view name)
{
    if (name.size() < 4)
        return false;
    const auto tail = name.substr(name.size() - 4);
    return std::ranges::equal(
        tail, std::string_view(".xml"), [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

} // namespace

CatalogFileNames catalogFileNames(std::string_view typedName)
{
    if (typedName.empty())
        return { std::string(kUnnamedCatalog) + ".xml", std::string(kUnnamedCatalog) + ".idx", std::string() };
    return { endsWithXmlAnyCase(typedName) ? std::string(typedName) : std::string(typedName) + ".xml",
        idxPathFor(typedName), std::string(typedName) };
}

std::string effectiveCatalogName(std::string_view typedName)
{
    return std::string(typedName.empty() ? kUnnamedCatalog : typedName);
}

std::string catalogKeyOf(std::string_view name)
{
    return std::string(endsWithXmlAnyCase(name) ? name.substr(0, name.size() - 4) : name);
}

std::string idxPathFor(std::string_view xmlPath)
{
    if (endsWithXmlAnyCase(xmlPath))
        return std::string(xmlPath.substr(0, xmlPath.size() - 4)) + ".idx";
    return std::string(xmlPath) + ".idx";
}

std::optional<std::string> catalogNameProblem(std::string_view typedName)
{
    if (typedName == "." || typedName == "..")
        return "名称“" + std::string(typedName) + "”不能用作目录名称。";
    if (typedName.find('/') != std::string_view::npos)
        return "目录名称中不能含有“/”。";
    if (typedName.find('\0') != std::string_view::npos)
        return "目录名称中不能含有空字符。";
    return std::nullopt;
}

} // namespace mellowby::catalog
