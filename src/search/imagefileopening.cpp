#include "search/imagefileopening.h"

#include "archive/discimage.h"
#include "search/openedfilesfolder.h"

namespace mellowby::search {

std::expected<std::string, platform::Error> takeOutOfImage(const std::string& imagePath, std::string_view treePath)
{
    const auto folder = openedFilesFolder();
    if (!folder)
        return std::unexpected(folder.error());
    return archive::extractImageFile(imagePath, treePath, *folder);
}

} // namespace mellowby::search
