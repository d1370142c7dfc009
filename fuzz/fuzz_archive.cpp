// The bytes are a file that a scan found and that may be an archive or a disc image, made by any
// tool, damaged, cut short or made to hurt. Sniffing, listing, reading a disc's identity and
// walking its tree must work on anything: no crash, no hang past the time limit, no name that
// climbs out of the tree, a tree whose every folder hangs below the top.

#include "fuzzcheck.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "archive/archivekind.h"
#include "archive/archivelister.h"
#include "archive/discidentity.h"
#include "archive/imagedirectorylister.h"
#include "archive/membernames.h"
#include "platform/filesystem.h"

namespace {

using namespace mellowby;
using fuzz::require;

// The input read as the file it stands for, through the same reads as a file on disc.
class MemoryFile final : public platform::IReadableFile {
public:
    explicit MemoryFile(std::span<const char> bytes)
        : m_bytes(bytes)
    {
        m_stamp.size = bytes.size();
    }
    const platform::FileStamp& stamp() const override { return m_stamp; }
    std::expected<std::size_t, platform::Error> readAt(std::uint64_t offset, std::span<char> into) const override
    {
        if (offset >= m_bytes.size())
            return 0;
        const std::size_t size = std::min<std::size_t>(into.size(), m_bytes.size() - offset);
        std::memcpy(into.data(), m_bytes.data() + offset, size);
        return size;
    }

private:
    std::span<const char> m_bytes;
    platform::FileStamp m_stamp;
};

void checkTree(const archive::ArchiveListing& listing)
{
    require(!listing.folders.empty() && listing.folders[0].parent == archive::kTopFolder, "the tree has a top");
    for (std::size_t i = 1; i < listing.folders.size(); ++i) {
        const auto& folder = listing.folders[i];
        require(folder.parent < i, "every folder hangs below one made before it");
        require(!folder.name.empty() && folder.name != "." && folder.name.find('/') == std::string::npos,
            "a folder's name is one name");
    }
    for (const auto& member : listing.members) {
        require(
            member.folder < listing.folders.size() && member.self < listing.folders.size(), "members are in the tree");
        if (!archive::treeComponents(member.name).empty())
            require(member.leaf.find('/') == std::string::npos, "a member's own name is one name");
    }
}

// Every folder of the image's tree opened and listed, as the scan walks a mounted disc.
void walk(std::unique_ptr<platform::IDirectory> top)
{
    std::vector<std::unique_ptr<platform::IDirectory>> folders;
    folders.push_back(std::move(top));
    for (std::size_t opened = 0; !folders.empty() && opened < 2000;) {
        const auto folder = std::move(folders.back());
        folders.pop_back();
        std::vector<platform::DirEntry> entries;
        require(folder->list(entries).has_value(), "an image's folder lists");
        for (const auto& entry : entries) {
            if (!entry.isDirectory)
                continue;
            auto child = folder->openChild(entry.name);
            require(child.has_value(), "a folder listed opens");
            require((*child)->id() != folder->id(), "a folder is not its own child");
            folders.push_back(std::move(*child));
            ++opened;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const char> bytes(reinterpret_cast<const char*>(data), size);
    const MemoryFile file(bytes);

    archive::ListingLimits limits;
    limits.maxMembers = 2000;
    limits.maxTime = std::chrono::seconds(3);
    const auto sniffed = archive::sniffArchive(bytes, size);
    const auto listing = archive::listArchive(file, sniffed, limits);
    if (listing) {
        require(listing->members.size() <= limits.maxMembers, "no more members than allowed");
        checkTree(*listing);
        archive::ImageDirectoryLister lister(*listing);
        auto top = lister.open("/");
        require(top.has_value(), "an image's top opens");
        walk(std::move(*top));
    } else {
        require(sniffed.kind == archive::ArchiveKind::None || sniffed.kind == archive::ArchiveKind::Udf
                || sniffed.kind == archive::ArchiveKind::Compressed,
            "an archive its bytes promise gives a listing, if only a damaged one");
    }
    (void)archive::parseDiscIdentity(bytes);
    return 0;
}
