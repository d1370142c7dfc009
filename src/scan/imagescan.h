#pragma once

#include <expected>
#include <memory>
#include <optional>
#include <string>

#include "archive/discidentity.h"
#include "catalog/volumerecord.h"
#include "platform/error.h"

namespace mellowby::platform {
class IDirectoryLister;
}

namespace mellowby::scan {

// A disc image file given as the path of a scan, catalogued as the disc it holds without
// mounting it: its tree is walked at the image's own path, so the catalog's Label, its locations
// and the progress name the image file and the folders inside it ("/x/disc.iso/photos").
class ImageScan {
public:
    // Nothing when path is no regular file: a folder is scanned as it always was. An error whose
    // words are for the user when it is a file but no disc image that can be read whole.
    static std::optional<std::expected<ImageScan, platform::Error>> open(const std::string& path);

    ImageScan(ImageScan&&) noexcept;
    ImageScan& operator=(ImageScan&&) noexcept;
    ~ImageScan();

    // Lists the image's folders at the image's path and below; any other path is not there.
    platform::IDirectoryLister& lister() const { return *m_lister; }
    // What the catalog's record of its volume keeps of the image.
    const catalog::DiscImageRecord& record() const { return m_record; }

private:
    ImageScan(std::unique_ptr<platform::IDirectoryLister> lister, catalog::DiscImageRecord record);

    std::unique_ptr<platform::IDirectoryLister> m_lister;
    catalog::DiscImageRecord m_record;
};

} // namespace mellowby::scan
