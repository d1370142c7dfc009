#pragma once

#include <cstddef>

#include "catalog/locationtext.h"

namespace mellowby::search {

// The box of a search that fails, and what it says when the locations of its hits in one catalog
// run past the location budget: the search of that catalog ends with the box.
inline constexpr const char* kSearchFailure = "查找文件时出错！";
inline constexpr const char* kSearchSource = "frmMain-findFileInXml";
static_assert(catalog::kMaxLocationBytes == 256 * 1024 * 1024, "the box below names the budget");
inline constexpr const char* kLocationsTooLong = "找到的文件位置总长超过 256 MB，其余的文件没有列出。";

} // namespace mellowby::search
