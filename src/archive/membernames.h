#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mellowby::archive {

// How the names written in archives are read, and turned into a tree and into a file name.
// A member's name is data to show, never a path: "../x", "/etc/x", "C:\x", backslashes and empty
// components are kept in it as written, and nothing below ever lets one climb.

// The components a member's path gives its place in the tree: split at '/', with empty and "."
// components dropped and ".." kept as a name like any other (it names a folder called ".." in
// the tree, never the parent). A backslash is part of a name: zip and tar separate with '/'.
std::vector<std::string_view> treeComponents(std::string_view path);

// A name under which a member can be written into a folder of its own without leaving it: the
// last component of its path, with '/', '\' and control bytes made '_', never "", "." or "..",
// and cut (at a character boundary, keeping the extension) to fit a file name of the system.
std::string safeFileName(std::string_view memberName);

// safeFileName with " (n)" before the extension, for the n-th name tried after a collision.
std::string numberedFileName(std::string_view fileName, unsigned n);

} // namespace mellowby::archive
