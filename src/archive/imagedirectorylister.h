#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/archivelisting.h"
#include "platform/directorylister.h"

namespace mellowby::archive {

// The tree of a listed disc image (or archive) walked as if it were mounted, so the scan that
// walks real folders catalogues an image without mounting it. Paths are read from the top of
// the image: "", "/" and "." are the top, "a/b" a folder in it. Each folder and file has a
// FileId of its own that stays the same for the same listing, on a device number no real file
// system has, so none can be taken for a folder of the machine (the Data folder).
//
// Entries are given in the order of the image, each folder where the first member inside it
// stands; a member whose path has no component is left out, as a mounted disc never shows one.
// Times are the members' modification times, as a mounted ISO 9660 disc gives them.
class ImageDirectoryLister final : public platform::IDirectoryLister {
public:
    explicit ImageDirectoryLister(const ArchiveListing& listing);
    ~ImageDirectoryLister() override;

    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> open(const std::string& path) override;

    // The device number of the ids of every image's entries.
    static constexpr std::uint64_t kImageDevice = 0xFFFF'FFFF'0000'0000;

    struct Tree;

private:
    std::shared_ptr<const Tree> m_tree;
};

} // namespace mellowby::archive
