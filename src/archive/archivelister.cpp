#include "archive/archivelister.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <exception>
#include <utility>

#include "archive/archivereader.h"
#include "archive/archivetexts.h"
#include "archive/foldertree.h"
#include "archive/rar5encryption.h"
#include "platform/linux/linuxfilesystem.h"

namespace mellowby::archive {

namespace {

ListingError failure(ListingFailure kind, std::string_view text, int number = 0)
{
    return { kind, { number, std::string(text) } };
}

Member memberFrom(ArchiveReader& reader, archive_entry* entry, std::uint64_t index)
{
    Member member;
    member.name = reader.nameOf(entry);
    member.index = index;
    member.isDirectory = archive_entry_filetype(entry) == AE_IFDIR;
    if (archive_entry_size_is_set(entry) != 0 && archive_entry_size(entry) >= 0)
        member.size = static_cast<std::uint64_t>(archive_entry_size(entry));
    if (archive_entry_mtime_is_set(entry) != 0) {
        const long nanoseconds = archive_entry_mtime_nsec(entry);
        member.modified = MemberTime { static_cast<std::int64_t>(archive_entry_mtime(entry)),
            nanoseconds > 0 && nanoseconds < 1'000'000'000 ? static_cast<std::uint32_t>(nanoseconds) : 0U };
    }
    member.encrypted = archive_entry_is_data_encrypted(entry) > 0 || archive_entry_is_metadata_encrypted(entry) > 0;
    return member;
}

// Reads headers until the end, a fault or a limit, keeping every member read before it.
void readMembers(ArchiveReader& reader, const ListingLimits& limits, const Deadline& deadline, ArchiveListing& listing)
{
    FolderTree tree(listing.folders);
    std::size_t nameBytes = 0;
    bool encrypted = false;
    for (std::uint64_t index = 0;; ++index) {
        archive_entry* entry = nullptr;
        const int result = deadline.passed() ? ARCHIVE_FATAL : reader.nextHeader(entry);
        if (result == ARCHIVE_EOF)
            break;
        if ((result != ARCHIVE_OK && result != ARCHIVE_WARN) || entry == nullptr) {
            const bool timedOut = reader.timedOut() || deadline.passed();
            listing.status = timedOut ? ArchiveStatus::OverLimit : ArchiveStatus::Damaged;
            listing.problem = timedOut ? "time limit" : reader.errorText();
            return;
        }
        if (listing.members.size() >= limits.maxMembers || nameBytes > limits.maxNameBytes) {
            listing.status = ArchiveStatus::OverLimit;
            listing.problem = listing.members.size() >= limits.maxMembers ? "member limit" : "name limit";
            return;
        }
        Member member = memberFrom(reader, entry, index);
        tree.place(member, listing.members.size());
        nameBytes += member.name.size() + member.leaf.size();
        encrypted = encrypted || member.encrypted;
        listing.members.push_back(std::move(member));
    }
    listing.status = encrypted ? ArchiveStatus::Encrypted : ArchiveStatus::Intact;
}

// libarchive lists RAR 5 members whose data is encrypted without saying so: their own headers do.
void markEncryptedRar5Members(const platform::IReadableFile& file, const Deadline& deadline, ArchiveListing& listing)
{
    const auto encrypted = rar5EncryptedMembers(file, listing.members.size(), deadline);
    bool any = false;
    for (std::size_t i = 0; i < encrypted.size(); ++i) {
        listing.members[i].encrypted = listing.members[i].encrypted || encrypted[i];
        any = any || listing.members[i].encrypted;
    }
    if (any && listing.status == ArchiveStatus::Intact)
        listing.status = ArchiveStatus::Encrypted;
}

std::expected<ArchiveListing, ListingError> list(
    const platform::IReadableFile& file, Sniffed sniffed, const ListingLimits& limits)
{
    if (sniffed.kind == ArchiveKind::None)
        return std::unexpected(failure(ListingFailure::NotAnArchive, kNotAnArchiveText));
    if (sniffed.kind == ArchiveKind::Udf)
        return std::unexpected(failure(ListingFailure::UdfImage, kUdfImageText));

    ArchiveListing listing;
    listing.folders.push_back({});
    if (sniffed.namesEncrypted) {
        listing.status = ArchiveStatus::NamesUnreadable;
        return listing;
    }
    const Deadline deadline(limits.clock, limits.maxTime);
    ArchiveReader reader(file, sniffed.kind, deadline);
    switch (reader.opening()) {
    case ArchiveReader::Opening::Opened:
        break;
    case ArchiveReader::Opening::NotRecognised:
        // What the first bytes promised is not there: for a compressed file, no tar or cpio
        // inside (a plain compressed file); for the others, an archive too damaged to begin.
        if (sniffed.kind == ArchiveKind::Compressed)
            return std::unexpected(failure(ListingFailure::NotAnArchive, kNotAnArchiveText));
        listing.status = ArchiveStatus::Damaged;
        listing.problem = reader.errorText();
        return listing;
    case ArchiveReader::Opening::TimedOut:
        listing.status = ArchiveStatus::OverLimit;
        listing.problem = "time limit";
        return listing;
    case ArchiveReader::Opening::Failed:
        if (reader.readError())
            return std::unexpected(ListingError { ListingFailure::Unreadable, *reader.readError() });
        listing.status = ArchiveStatus::Damaged;
        listing.problem = reader.errorText();
        return listing;
    }

    readMembers(reader, limits, deadline, listing);
    if (sniffed.kind == ArchiveKind::Rar5)
        markEncryptedRar5Members(file, deadline, listing);
    if (reader.get() != nullptr && archive_format_name(reader.get()) != nullptr)
        listing.format = archive_format_name(reader.get());
    // 7z with encrypted headers fails before its first member, saying it is encrypted.
    if (listing.status == ArchiveStatus::Damaged && listing.members.empty()
        && archive_read_has_encrypted_entries(reader.get()) > 0)
        listing.status = ArchiveStatus::NamesUnreadable;
    return listing;
}

} // namespace

std::expected<ArchiveListing, ListingError> listArchive(
    const platform::IReadableFile& file, Sniffed sniffed, const ListingLimits& limits)
{
    try {
        return list(file, sniffed, limits);
    } catch (const std::exception&) {
        // Only memory can run out here: the archive is given up as damaged, not the scan.
        ArchiveListing listing;
        listing.folders.push_back({});
        listing.status = ArchiveStatus::Damaged;
        listing.problem = "out of memory";
        return listing;
    }
}

std::expected<ArchiveListing, ListingError> listArchive(
    const platform::IReadableFile& file, const ListingLimits& limits)
{
    return listArchive(file, sniffFile(file), limits);
}

std::expected<ArchiveListing, ListingError> listArchive(const std::string& path, const ListingLimits& limits)
{
    platform::LinuxFileSystem fileSystem;
    const auto file = fileSystem.openForReading(path);
    if (!file)
        return std::unexpected(ListingError { ListingFailure::Unreadable, file.error() });
    return listArchive(**file, limits);
}

} // namespace mellowby::archive
