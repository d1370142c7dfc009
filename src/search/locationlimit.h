#pragma once

#include <cstddef>

namespace mellowby::search {

// The box of a search that fails, and what it says when a catalog nested deeper than any file
// system could be has locations whose total length grows with the square of its depth: past
// kMaxLocationBytes the search of that catalog ends with the box instead of exhausting memory.
inline constexpr const char* kSearchFailure = "查找文件时出错！";
inline constexpr const char* kSearchSource = "frmMain-findFileInXml";
inline constexpr std::size_t kMaxLocationBytes = 256 * 1024 * 1024;
inline constexpr const char* kLocationsTooLong = "找到的文件位置总长超过 256 MB，其余的文件没有列出。";

} // namespace mellowby::search
