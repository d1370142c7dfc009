#include "search/imagefileopening.h"

#include <mutex>
#include <optional>

#include "archive/discimage.h"
#include "archive/privatetemporaryfolder.h"

namespace mellowby::search {

namespace {

// One folder for the whole run: a file opened stays there while its program may still read it.
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

} // namespace

std::expected<std::string, platform::Error> takeOutOfImage(const std::string& imagePath, std::string_view treePath)
{
    const auto folder = openedFilesFolder();
    if (!folder)
        return std::unexpected(folder.error());
    return archive::extractImageFile(imagePath, treePath, *folder);
}

} // namespace mellowby::search
