#include "search/memberopening.h"

#include <algorithm>
#include <string_view>

#include "archive/archivelister.h"
#include "archive/archivetexts.h"
#include "archive/memberextraction.h"
#include "platform/filesystem.h"
#include "platform/paths.h"

namespace mellowby::search {

namespace {

// A member's path in the tree its archive's paths make, as its location names it.
std::string treePathOf(const archive::ArchiveListing& listing, const archive::Member& member)
{
    // Gathered from the member up, each name reversed, then the whole turned round.
    std::string path;
    const auto prepend = [&](std::string_view name) {
        if (!path.empty())
            path += platform::kPathSeparator;
        path.append(name.rbegin(), name.rend());
    };
    if (!member.isDirectory)
        prepend(member.leaf);
    for (std::uint32_t folder = member.isDirectory ? member.self : member.folder; folder != archive::kTopFolder;
         folder = listing.folders[folder].parent)
        prepend(listing.folders[folder].name);
    std::ranges::reverse(path);
    return path;
}

} // namespace

std::optional<MemberLocation> memberLocation(platform::IFileSystem& fileSystem, const std::string& location)
{
    for (std::size_t end = location.find(platform::kPathSeparator, 1); end != std::string::npos;
         end = location.find(platform::kPathSeparator, end + 1)) {
        const std::string leading = location.substr(0, end);
        if (fileSystem.isFile(leading))
            return MemberLocation { leading, location.substr(end + 1) };
        if (!fileSystem.isDirectory(leading))
            return std::nullopt;
    }
    return std::nullopt;
}

std::expected<std::string, platform::Error> takeOutMember(const MemberLocation& member, const std::string& folder)
{
    const auto listing = archive::listArchive(member.archive);
    if (!listing)
        return std::unexpected(listing.error().error);
    for (const archive::Member& entry : listing->members) {
        if (treePathOf(*listing, entry) != member.inside)
            continue;
        if (entry.isDirectory)
            return std::unexpected(platform::Error { 0, std::string(archive::kMemberIsFolderText) });
        return archive::extractMember(member.archive, { entry.index, entry.name }, folder);
    }
    return std::unexpected(platform::Error { 0, std::string(archive::kMemberMissingText) });
}

} // namespace mellowby::search
