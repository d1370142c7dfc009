#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/error.h"
#include "platform/filesystem.h"

namespace mellowby::platform {

// What the device under a file is, as far as the order of reads is concerned: a head that moves
// (optical drives, spinning disks) pays for every jump, a device without one does not.
enum class StorageKind { Unknown, Solid, Rotational, Optical };

// A file opened for one pass from its start to its end, each byte read once.
class ISequentialFile {
public:
    virtual ~ISequentialFile() = default;
    // The file as it was when it was opened.
    virtual const FileStamp& stamp() const = 0;
    // The next into.size() bytes of the file, fewer only where it ends or where the next bytes
    // cannot be read (the next read says why); the number read.
    virtual std::expected<std::size_t, Error> read(std::span<char> into) = 0;
    // The open file's stamp now: a file written while it is read shows it here.
    virtual std::expected<FileStamp, Error> currentStamp() const = 0;
    // Where the file's data begin on its device, in bytes; nothing when it has no data there (an
    // empty file, data not yet written out). EOPNOTSUPP when its file system does not tell.
    virtual std::expected<std::optional<std::uint64_t>, Error> placement() const = 0;
};

// Reading whole files at the speed of the device (checksums): every read of their contents goes
// through here, so that tests can make a read fail at a given offset, a file change while it is
// read, a disc go away, and count what was read.
class IFileReading {
public:
    virtual ~IFileReading() = default;
    // The regular file at path (links followed) opened for a pass from start to end.
    virtual std::expected<std::unique_ptr<ISequentialFile>, Error> openSequential(const std::string& path) = 0;
    // The kind of device the entry at path lies on; Unknown when no local device can be named (a
    // network share, a file system in memory).
    virtual StorageKind storageKindOf(const std::string& path) = 0;
};

} // namespace mellowby::platform
