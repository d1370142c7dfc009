#pragma once

#include <functional>
#include <string>

#include "platform/directorylister.h"

namespace mellowby::verify {

// Walks the tree at root as a scan does (each folder opened through its parent, links never
// followed, the walk's own stack rather than recursion) and tells visit of each entry that is not
// a folder, with its path below root ("/sub/a.txt") and its full path. False when root cannot be
// listed; a folder further down that cannot be opened is passed over (its files count as gone).
// visit returns false to stop the walk.
using DiscVisitor = std::function<bool(const std::string& below, const std::string& path, const platform::DirEntry&)>;
bool walkDisc(platform::IDirectoryLister& lister, const std::string& root, const DiscVisitor& visit);

} // namespace mellowby::verify
