#include "platform/filesystem.h"

namespace mellowby::platform {

std::expected<void, Error> replaceWholeFile(IFileSystem& fileSystem, const std::string& path, std::string_view contents)
{
    auto replacement = fileSystem.beginReplacement(path);
    if (!replacement)
        return std::unexpected(replacement.error());
    if (auto written = (*replacement)->write(contents); !written)
        return written;
    return (*replacement)->commit();
}

} // namespace mellowby::platform
