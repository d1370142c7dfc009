#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/archivelisting.h"

namespace mellowby::archive {

// Builds the tree of folders that the members' paths make, as treeComponents() reads them:
// every component but a file's last is a folder, made the first time a path names it, whether
// the archive has an entry for it or not. So a/b/c.txt makes a and a/b, and "../../x" makes a
// folder called ".." inside another: no name ever climbs out of the top.
//
// A file whose path has no component at all ("", "/", "./") lies in the top under its name as
// written; a folder entry like that is the top itself.
class FolderTree {
public:
    explicit FolderTree(std::vector<TreeFolder>& folders);

    // Sets member's folder, leaf and self from its name; position is its place in the members.
    void place(Member& member, std::size_t position);

    // The child folder of parent called name; made when there is none yet.
    std::uint32_t child(std::uint32_t parent, std::string_view name);

private:
    std::vector<TreeFolder>& m_folders;
    std::unordered_map<std::string, std::uint32_t> m_children; // parent's number, NUL, name
    std::string m_key;
};

} // namespace mellowby::archive
