#include "app/programfolder.h"

#include <filesystem>
#include <utility>

#include <system_error>

#include "app/casefold.h"
#include "platform/paths.h"

namespace mellowby::app {

namespace fs = std::filesystem;

ProgramFolder::ProgramFolder(std::string path)
    : m_path(std::move(path))
{
}

std::string ProgramFolder::resolveIn(const std::string& dir, std::string_view name)
{
    std::string exact = platform::joinPath(dir, name);
    if (name.empty())
        return exact;

    // lstat, not stat: a symbolic link (even a dangling one) of the exact name is that entry.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(exact, ec)))
        return exact;

    // Errors (no such folder, no permission) end the search quietly: the caller then works
    // with the name as given and meets the real failure when it uses it.
    fs::directory_iterator it(dir.empty() ? fs::path(".") : fs::path(dir), ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().native();
        if (equalsIgnoringCase(entry, name))
            return platform::joinPath(dir, entry);
    }
    return exact;
}

std::string ProgramFolder::dataDir() const
{
    return resolveIn(m_path, "Data");
}

std::string ProgramFolder::iniPath() const
{
    return resolveIn(m_path, "option.ini");
}

std::string ProgramFolder::dataFile(std::string_view name) const
{
    return resolveIn(dataDir(), name);
}

} // namespace mellowby::app
