#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "archive/archivelisting.h"
#include "archive/discidentity.h"
#include "archive/memberextraction.h"
#include "platform/error.h"

namespace mellowby::archive {

// A disc image file read as the disc it holds: what it says of itself and every entry of its tree.
struct DiscImage {
    DiscIdentity identity;
    ArchiveListing listing;
};

// Reads the image at path whole. A disc is catalogued whole or not at all, so the limits that
// keep an archive member of a scan from holding it up are lifted here (memory is the bound), and
// an image cut short (smaller than its volume descriptor says) or damaged part way is refused.
// The error's words are for the user: kNotADiscImageText, kUdfImageText, kDamagedImageText, or
// the system's for a file that cannot be read.
std::expected<DiscImage, platform::Error> readDiscImage(const std::string& path);

// The file of listing that lies at treePath in its tree ("a/b/c.txt", as the image is walked by
// ImageDirectoryLister); nothing when none does. ".." and the like are names there like any
// other, so no path finds a member outside the tree.
std::optional<MemberIdentity> fileAtTreePath(const ArchiveListing& listing, std::string_view treePath);

// Takes the file at treePath of the image at imagePath out into folder (see extractMember) and
// returns where it was written.
std::expected<std::string, platform::Error> extractImageFile(
    const std::string& imagePath, std::string_view treePath, const std::string& folder);

} // namespace mellowby::archive
