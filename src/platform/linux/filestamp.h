#pragma once

#include <sys/stat.h>

#include "platform/filesystem.h"

namespace mellowby::platform {

// The stamp of a file from what stat says of it.
FileStamp stampFrom(const struct stat& status);

} // namespace mellowby::platform
