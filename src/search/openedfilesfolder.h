#pragma once

#include <expected>
#include <string>

#include "platform/error.h"

namespace mellowby::search {

// The program's private folder for files taken out of archives and disc images to be opened: made
// the first time one is, kept for the whole run (a file opened stays there while its program may
// still read it) and removed with everything in it when the program ends, or, after a crash, at
// its next start.
std::expected<std::string, platform::Error> openedFilesFolder();

} // namespace mellowby::search
