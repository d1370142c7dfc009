#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/paths.h"

namespace mellowby::bench {

// A catalog file, or its index twin (a path ending in .idx), loaded as the store loads it: read
// whole through the file system, then parsed.
inline catalog::CatalogDocument loadCatalogFile(const std::string& path)
{
    constexpr std::string_view kTwinExtension = ".idx";
    platform::LinuxFileSystem fileSystem;
    const catalog::CatalogStore store(std::string(platform::parentOf(path)), fileSystem);
    const std::string_view name = platform::fileNameOf(path);
    if (name.ends_with(kTwinExtension))
        return store.loadTwin(name.substr(0, name.size() - kTwinExtension.size()));
    return store.loadCatalog(name);
}

} // namespace mellowby::bench
