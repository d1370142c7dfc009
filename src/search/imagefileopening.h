#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace mellowby::search {

// Takes the file at treePath ("photos/a.jpg") of the disc image at imagePath out into the
// program's private folder for opened files, made the first time one is and removed with
// everything in it when the program ends (or, after a crash, at its next start). Returns where
// the file was written; an error whose words are for the user otherwise.
std::expected<std::string, platform::Error> takeOutOfImage(const std::string& imagePath, std::string_view treePath);

} // namespace mellowby::search
