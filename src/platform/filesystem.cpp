#include "platform/filesystem.h"

#include <cerrno>

#include "platform/paths.h"

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

std::expected<std::string, Error> createMissingFolders(std::string_view path, const FolderMaker& makeFolder)
{
    std::string made(1, kPathSeparator);
    for (const std::string_view part : componentsOf(path)) {
        made = joinPath(made, part);
        if (auto folder = makeFolder(made); !folder && folder.error().number != EEXIST)
            return std::unexpected(folder.error());
    }
    return made;
}

std::expected<std::string, Error> createMissingFolders(IFileSystem& fileSystem, std::string_view path)
{
    return createMissingFolders(
        path, [&fileSystem](const std::string& folder) { return fileSystem.createDirectory(folder); });
}

} // namespace mellowby::platform
