#pragma once

#include <expected>
#include <string>

#include "platform/error.h"

namespace mellowby::platform {

// Moves a file into the user's home trash ($XDG_DATA_HOME/Trash, else $HOME/.local/share/Trash)
// as the freedesktop.org trash specification lays it out, so desktop file managers can restore
// it. Succeeds only when the file and its .trashinfo are both in the trash; on a failure
// everything done so far is undone and the file stays where it was.
std::expected<void, Error> moveToHomeTrash(const std::string& path);

} // namespace mellowby::platform
