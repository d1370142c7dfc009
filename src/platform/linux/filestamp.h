#pragma once

#include <expected>

#include <sys/stat.h>

#include "platform/filesystem.h"

namespace mellowby::platform {

// The stamp of a file from what stat says of it.
FileStamp stampFrom(const struct stat& status);
// Which file system object it is, from the same.
FileId idFrom(const struct stat& status);

// The stamp of the file open on descriptor, when it is a regular file: a folder is EISDIR and
// anything else EINVAL, since a FIFO or a device opened for reading could block or never end.
std::expected<FileStamp, Error> stampOfRegularFile(int descriptor);

} // namespace mellowby::platform
