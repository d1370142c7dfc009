#include "search/openedfilesfolder.h"

#include <mutex>
#include <optional>

#include "archive/privatetemporaryfolder.h"

namespace mellowby::search {

std::expected<std::string, platform::Error> openedFilesFolder()
{
    static std::mutex guard;
    static std::optional<archive::PrivateTemporaryFolder> folder;
    const std::scoped_lock lock(guard);
    if (!folder) {
        auto made = archive::PrivateTemporaryFolder::create();
        if (!made)
            return std::unexpected(made.error());
        folder.emplace(std::move(*made));
    }
    return folder->path();
}

} // namespace mellowby::search
