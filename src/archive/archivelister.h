#pragma once

#include <expected>
#include <string>

#include "archive/archivekind.h"
#include "archive/archivelisting.h"
#include "platform/error.h"

namespace mellowby::platform {
class IReadableFile;
}

namespace mellowby::archive {

// Why a file gave no listing at all (an archive that fails part way still gives one, Damaged).
enum class ListingFailure {
    NotAnArchive, // its content is no archive of members (a bare .gz is a plain file)
    UdfImage, // a disc image of UDF alone: kUdfImageText
    Unreadable, // the file could not be opened or read
};

struct ListingError {
    ListingFailure failure = ListingFailure::NotAnArchive;
    platform::Error error; // the words to show, in Chinese
};

// Lists the members of the archive or disc image in file: names, sizes, times, folders and
// encryption as the headers declare them, without decompressing any member's data where the
// format allows it (zip and the others read from a seekable file; a compressed tar has to be
// decompressed to reach its headers, which the time limit bounds). One level only: a member
// that is itself an archive is a file. Never throws, never writes.
std::expected<ArchiveListing, ListingError> listArchive(
    const platform::IReadableFile& file, const ListingLimits& limits = {});

// The same for a file whose first bytes were sniffed already.
std::expected<ArchiveListing, ListingError> listArchive(
    const platform::IReadableFile& file, Sniffed sniffed, const ListingLimits& limits = {});

// The same for the file at path.
std::expected<ArchiveListing, ListingError> listArchive(const std::string& path, const ListingLimits& limits = {});

} // namespace mellowby::archive
