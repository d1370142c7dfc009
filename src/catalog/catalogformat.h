#pragma once

#include <cstddef>
#include <pugixml.hpp>
#include <string_view>

// The names a catalog file is written with. Catalogs already on users' discs hold them, so they
// never change; the writer and every reader take them from here.
namespace mellowby::catalog {

// The first line of every catalog and of its index twin, byte for byte.
inline constexpr std::string_view kCatalogDeclaration
    = R"(<?xml version ="1.0" encoding ="GB2312" standalone="yes" ?>)";

// The root element: the scanned disc or folder.
inline constexpr std::string_view kDiskElement = "Disk";
// A folder below the root, at any depth.
inline constexpr std::string_view kDirectoryElement = "Directory";
// A file; its text is the file's name.
inline constexpr std::string_view kFileElement = "File";

// Disk and Directory: the name the catalog shows for the level.
inline constexpr std::string_view kTitleAttribute = "title";
// Disk: the path that was scanned.
inline constexpr std::string_view kLabelAttribute = "Label";
// Directory and File: the creation day.
inline constexpr std::string_view kCreateDateAttribute = "CreateDate";
// File: the size in kilobytes, "KB" included.
inline constexpr std::string_view kFileSizeAttribute = "FileSize";

// Readers go by position, as the format fixes the order of attributes: Disk has title then Label,
// Directory title then CreateDate, File CreateDate then FileSize.
inline constexpr std::size_t kTitlePosition = 0;
inline constexpr std::size_t kLabelPosition = 1;
inline constexpr std::size_t kCreateDatePosition = 0;
inline constexpr std::size_t kFileSizePosition = 1;

// Whether node is an element of that name: text, comments and the like are never one, whatever
// their name. Inline: the search asks it of every node of a catalog.
inline bool isElement(const pugi::xml_node& node, std::string_view name)
{
    return node.type() == pugi::node_element && node.name() == name;
}

} // namespace mellowby::catalog
