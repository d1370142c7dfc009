#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace mellowby::platform {

// Which file system object an entry is: equal ids, the same folder, whatever path led to it.
// Both parts 0 when unknown.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool known() const { return device != 0 || inode != 0; }
    bool operator==(const FileId&) const = default;
};

// What an entry is, as the file system says when it is examined.
enum class EntryKind : std::uint8_t {
    Unknown, // its details could not be read
    File,
    Directory,
    SymbolicLink,
    Other, // a device, a FIFO, a socket
};

// Which of an entry's times its creation time is.
enum class CreationTimeSource : std::uint8_t { None, Birth, Modification };

inline constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

// One entry of a folder being walked, as the scanner needs it.
struct DirEntry {
    std::string name;
    bool isDirectory = false;
    std::uint64_t size = 0;
    // Nanoseconds since 1970-01-01 UTC; each empty where the file system keeps none (a birth time
    // of 0 counts as none) or the entry could not be examined.
    std::optional<std::int64_t> modifiedNs;
    std::optional<std::int64_t> bornNs;
    FileId id;
    // Why the entry's details (kind, size, times) could not be read; its name is still right,
    // and whether it is a folder is what the listing itself said.
    std::optional<Error> detailsError;
    EntryKind kind = EntryKind::Unknown;

    // The time a catalog's date is of: the birth time where the file system keeps one, else the
    // modification time.
    CreationTimeSource creationTimeSource() const
    {
        if (bornNs)
            return CreationTimeSource::Birth;
        return modifiedNs ? CreationTimeSource::Modification : CreationTimeSource::None;
    }
    // That time in whole seconds since 1970 (rounded down, before 1970 too); empty without one.
    std::optional<std::int64_t> creationTime() const
    {
        const std::optional<std::int64_t>& time = bornNs ? bornNs : modifiedNs;
        if (!time)
            return std::nullopt;
        const std::int64_t seconds = *time / kNanosecondsPerSecond;
        return *time % kNanosecondsPerSecond < 0 ? seconds - 1 : seconds;
    }
};

// A folder of a tree being walked, held open: its children are opened relative to it, so a walk
// reaches any depth, whatever the length of the path, and a folder that a symbolic link replaced
// after it was listed is never followed. Closes its handle when dropped.
class IDirectory {
public:
    virtual ~IDirectory() = default;

    virtual FileId id() const = 0;
    // Appends the entries in the order the system returns them, without "." and "..". Symbolic
    // links are reported as files with their own size and are never followed. An entry that
    // vanishes between being listed and being examined is left out. On an error the entries read
    // so far stay in out.
    virtual std::expected<void, Error> list(std::vector<DirEntry>& out) = 0;
    // The child folder called name; fails when name is no longer a folder (a symbolic link is not).
    virtual std::expected<std::unique_ptr<IDirectory>, Error> openChild(const std::string& name) = 0;
    // The folder this one lies in now: the way back up once the parent's own handle was let go.
    virtual std::expected<std::unique_ptr<IDirectory>, Error> openParent() = 0;
};

// The trees the user scans.
class IDirectoryLister {
public:
    virtual ~IDirectoryLister() = default;

    // The folder at path, a symbolic link followed (the user named it).
    virtual std::expected<std::unique_ptr<IDirectory>, Error> open(const std::string& path) = 0;

    // Appends the entries of the folder at path (see IDirectory::list).
    std::expected<void, Error> list(const std::string& path, std::vector<DirEntry>& out)
    {
        auto directory = open(path);
        if (!directory)
            return std::unexpected(directory.error());
        return (*directory)->list(out);
    }
};

} // namespace mellowby::platform
