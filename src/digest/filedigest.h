#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "digest/digestalgorithm.h"
#include "platform/error.h"
#include "platform/filesystem.h"

namespace mellowby::digest {

// A file to digest, as the one who asks saw it (a walk, a catalog).
struct FileToDigest {
    std::string path;
    // The bytes it holds; a file of another size is no longer the one that was seen. Progress is
    // counted in these.
    std::uint64_t size = 0;
    // When given, in nanoseconds since 1970: a file with another modification time is no longer
    // the one that was seen.
    std::optional<std::int64_t> modified;
    // The asker's own number for the file (its row), handed back with the outcome.
    std::uint64_t tag = 0;

    bool operator==(const FileToDigest&) const = default;
};

enum class FileStatus {
    Digested,
    // Reading failed; the offset and the error say where and why.
    Unreadable,
    // Not the file that was seen, or written while it was read: its digest would belong to no
    // version of it.
    Changed,
    // Nothing at its path.
    Missing,
};

// What became of one file.
struct FileDigest {
    FileToDigest file;
    FileStatus status = FileStatus::Digested;
    // Digested only.
    std::optional<Digest> digest;
    // The file as it was opened (Digested and Changed).
    std::optional<platform::FileStamp> stamp;
    // Unreadable: the offset of the first byte that could not be read, and why.
    std::uint64_t errorOffset = 0;
    // Unreadable and Missing.
    platform::Error error;
};

} // namespace mellowby::digest
