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

// A catalog path with a final ".xml" (any case) replaced by ".idx"; ".idx" appended otherwise.
std::string idxPathFor(std::string_view xmlPath);

// Why a typed name cannot name a catalog (it would put the files outside the Data folder), or
// nothing when it can.
std::optional<std::string> catalogNameProblem(std::string_view typedName);

} // namespace mellowby::catalog
