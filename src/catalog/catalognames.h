#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mellowby::catalog {

// The pair of files a catalog name gives in the Data folder, and the title its Disk element gets.
struct CatalogFileNames {
    std::string xmlName;
    std::string idxName;
    std::string diskTitle;
};

// The name used when the user gives none.
inline constexpr std::string_view kUnnamedCatalog = "tmp1000";

CatalogFileNames catalogFileNames(std::string_view typedName);

// The name a catalog gets: the typed one, or tmp1000 when none was typed, so that the catalog
// has a title by which it can be listed, searched and deleted.
std::string effectiveCatalogName(std::string_view typedName);

// The key of a catalog in the collection: its name without a final ".xml" (any case), so that a
// name typed with that ending and the stem of its file are the same catalog.
std::string catalogKeyOf(std::string_view name);

// A catalog path with a final ".xml" (any case) replaced by ".idx"; ".idx" appended otherwise.
std::string idxPathFor(std::string_view xmlPath);

// Why a typed name cannot name a catalog (it would put the files outside the Data folder), or
// nothing when it can.
std::optional<std::string> catalogNameProblem(std::string_view typedName);

} // namespace mellowby::catalog
