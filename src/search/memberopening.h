#pragma once

#include <expected>
#include <optional>
#include <string>

#include "platform/error.h"

namespace mellowby::platform {
class IFileSystem;
}

namespace mellowby::search {

// A file inside an archive as its location names it: the archive's path, and the member's path
// inside the archive, its folders joined by the separator.
struct MemberLocation {
    std::string archive;
    std::string inside;
};

// The member a location names, when it runs through a regular file of the file system (the
// archive): the first leading part of it that is one. Nothing for the location of a plain file or
// one that is nowhere.
std::optional<MemberLocation> memberLocation(platform::IFileSystem& fileSystem, const std::string& location);

// Takes the member out of its archive into folder (private to the user) and returns its path;
// else the words for the box: the member is no longer there, is a folder, or cannot be taken out.
std::expected<std::string, platform::Error> takeOutMember(const MemberLocation& member, const std::string& folder);

} // namespace mellowby::search
