#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace mellowby::app {

// A settings file is edited by hand now and then; anything bigger than this is not one, and
// reading it whole would only exhaust memory.
inline constexpr std::size_t kMaxTextFileSize = 64 * 1024 * 1024;

// The whole contents of a regular file, byte for byte; nothing when the file does not exist.
// A file that exists but cannot be read (no permission, a directory, an I/O error, too big) is
// an error.
std::expected<std::optional<std::string>, platform::Error> readWholeFile(const std::string& path);

// Replaces the file's contents in one step: the new contents are written under a temporary
// name in the same folder, flushed to disk and renamed over the file, so a failure at any
// point leaves the old file intact. An existing file keeps its permissions; a symbolic link
// keeps pointing at its target, which is the file replaced. A file the caller may not write to
// is refused (EACCES) and stays as it was.
std::expected<void, platform::Error> replaceWholeFile(const std::string& path, std::string_view contents);

} // namespace mellowby::app
