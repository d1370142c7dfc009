#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "platform/linux/linuxfilesystem.h"

namespace mellowby::bench {

// A catalog file, or its index twin (a path ending in .idx), loaded as the store loads it: read
// whole through the file system, then parsed.
inline catalog::CatalogDocument loadCatalogFile(const std::string& path)
{
    constexpr std::string_view kTwinExtension = ".idx";
    platform::LinuxFileSystem fileSystem;
    const auto slash = path.rfind('/');
    const catalog::CatalogStore store(path.substr(0, slash), fileSystem);
    const std::string name = path.substr(slash + 1);
    if (name.ends_with(kTwinExtension))
        return store.loadTwin(name.substr(0, name.size() - kTwinExtension.size()));
    return store.loadCatalog(name);
}

} // namespace mellowby::bench
