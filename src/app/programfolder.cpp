#include "app/programfolder.h"

#include <utility>

#include "app/casefold.h"
#include "platform/filesystem.h"
#include "platform/paths.h"

namespace mellowby::app {

std::string resolveIgnoringCase(platform::IFileSystem& fileSystem, const std::string& dir, std::string_view name)
{
    std::string exact = platform::joinPath(dir, name);
    if (name.empty())
        return exact;
    // A name that is there as given is the one the listing below would pick: no listing, which
    // every catalog of a search would otherwise pay for again.
    if (fileSystem.stampOf(exact))
        return exact;
    // Errors (no such folder, no permission) end the search quietly: the caller then works with
    // the name as given and meets the real failure when it uses it.
    const auto entries = fileSystem.listFolder(dir.empty() ? std::string(".") : dir);
    if (!entries)
        return exact;
    const platform::FolderEntry* folded = nullptr;
    for (const auto& entry : *entries) {
        if (entry.name == name)
            return exact;
        if (folded == nullptr && equalsIgnoringCase(entry.name, name))
            folded = &entry;
    }
    return folded != nullptr ? platform::joinPath(dir, folded->name) : exact;
}

ProgramFolder::ProgramFolder(std::string path, platform::IFileSystem& fileSystem)
    : m_path(std::move(path))
    , m_fileSystem(fileSystem)
{
}

std::string ProgramFolder::resolve(std::string_view name) const
{
    return resolveIgnoringCase(m_fileSystem, m_path, name);
}

} // namespace mellowby::app
