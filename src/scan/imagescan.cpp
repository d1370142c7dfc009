#include "scan/imagescan.h"

#include <cerrno>
#include <filesystem>

#include "archive/discimage.h"
#include "archive/imagedirectorylister.h"
#include "platform/directorylister.h"
#include "platform/paths.h"

namespace mellowby::scan {

namespace {

// The image's tree with its top at the image file's path.
class ImageAtItsPath final : public platform::IDirectoryLister {
public:
    ImageAtItsPath(std::string imagePath, const archive::ArchiveListing& listing)
        : m_imagePath(std::move(imagePath))
        , m_image(listing)
    {
    }

    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> open(const std::string& path) override
    {
        const auto below = platform::pathBelow(path, m_imagePath);
        if (!below)
            return std::unexpected(platform::errorFromErrno(ENOENT));
        return m_image.open(std::string(*below));
    }

private:
    std::string m_imagePath;
    archive::ImageDirectoryLister m_image;
};

catalog::DiscImageRecord recordOf(const archive::DiscIdentity& identity)
{
    return { identity.label, identity.volumeIdentifier, identity.volumeSetIdentifier, identity.creationTime,
        identity.volumeSpaceBytes };
}

} // namespace

std::optional<std::expected<ImageScan, platform::Error>> ImageScan::open(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    auto image = archive::readDiscImage(path);
    if (!image)
        return std::unexpected(image.error());
    return ImageScan(std::make_unique<ImageAtItsPath>(path, image->listing), recordOf(image->identity));
}

ImageScan::ImageScan(std::unique_ptr<platform::IDirectoryLister> lister, catalog::DiscImageRecord record)
    : m_lister(std::move(lister))
    , m_record(std::move(record))
{
}

ImageScan::ImageScan(ImageScan&&) noexcept = default;
ImageScan& ImageScan::operator=(ImageScan&&) noexcept = default;
ImageScan::~ImageScan() = default;

} // namespace mellowby::scan
