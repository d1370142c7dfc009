#include "archive/discimage.h"

#include <chrono>
#include <limits>
#include <vector>

#include "archive/archivekind.h"
#include "archive/archivelister.h"
#include "archive/archivetexts.h"
#include "archive/membernames.h"
#include "platform/linux/linuxfilesystem.h"

namespace mellowby::archive {

namespace {

platform::Error textError(std::string_view text)
{
    return { 0, std::string(text) };
}

ListingLimits wholeDiscLimits()
{
    ListingLimits limits;
    limits.maxMembers = std::numeric_limits<std::size_t>::max();
    limits.maxNameBytes = std::numeric_limits<std::size_t>::max();
    limits.maxTime = std::chrono::hours(24 * 365);
    return limits;
}

// Whether the member's place in the tree (its folders from the top, then its leaf) is components.
bool liesAt(const ArchiveListing& listing, const Member& member, const std::vector<std::string_view>& components)
{
    if (components.empty() || member.leaf != components.back())
        return false;
    std::uint32_t folder = member.folder;
    for (std::size_t i = components.size() - 1; i-- > 0;) {
        if (folder == kTopFolder || listing.folders[folder].name != components[i])
            return false;
        folder = listing.folders[folder].parent;
    }
    return folder == kTopFolder;
}

} // namespace

std::expected<DiscImage, platform::Error> readDiscImage(const std::string& path)
{
    platform::LinuxFileSystem fileSystem;
    const auto file = fileSystem.openForReading(path);
    if (!file)
        return std::unexpected(file.error());
    const Sniffed sniffed = sniffFile(**file);
    if (sniffed.kind == ArchiveKind::Udf)
        return std::unexpected(textError(kUdfImageText));
    if (sniffed.kind != ArchiveKind::Iso9660)
        return std::unexpected(textError(kNotADiscImageText));
    auto identity = readDiscIdentity(**file);
    if (!identity)
        return std::unexpected(identity.error().error);
    if (identity->volumeSpaceBytes > (*file)->stamp().size)
        return std::unexpected(textError(kDamagedImageText));
    auto listing = listArchive(**file, sniffed, wholeDiscLimits());
    if (!listing)
        return std::unexpected(listing.error().error);
    if (listing->status != ArchiveStatus::Intact)
        return std::unexpected(textError(kDamagedImageText));
    return DiscImage { std::move(*identity), std::move(*listing) };
}

std::optional<MemberIdentity> fileAtTreePath(const ArchiveListing& listing, std::string_view treePath)
{
    const auto components = treeComponents(treePath);
    for (const Member& member : listing.members) {
        if (!member.isDirectory && liesAt(listing, member, components))
            return MemberIdentity { member.index, member.name };
    }
    return std::nullopt;
}

std::expected<std::string, platform::Error> extractImageFile(
    const std::string& imagePath, std::string_view treePath, const std::string& folder)
{
    auto image = readDiscImage(imagePath);
    if (!image)
        return std::unexpected(image.error());
    const auto member = fileAtTreePath(image->listing, treePath);
    if (!member)
        return std::unexpected(textError(kImageFileMissingText));
    return extractMember(imagePath, *member, folder);
}

} // namespace mellowby::archive
