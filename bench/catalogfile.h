#pragma once

#include <cstddef>
#include <string>

#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "platform/linux/linuxfilesystem.h"

namespace mellowby::bench {

// A catalog file loaded as the store loads it: read whole through the file system, then parsed.
inline catalog::CatalogDocument loadCatalogFile(const std::string& path)
{
    platform::LinuxFileSystem fileSystem;
    const auto slash = path.rfind('/');
    return catalog::CatalogStore(path.substr(0, slash), fileSystem).loadCatalog(path.substr(slash + 1));
}

} // namespace mellowby::bench
