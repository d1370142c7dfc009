#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/directorylister.h"
#include "platform/error.h"

namespace mellowby::platform {

// One entry of a folder of the program's own (the program folder, Data).
struct FolderEntry {
    std::string name;
    bool isDirectory = false; // a symbolic link counts as what it points to

    bool operator==(const FolderEntry&) const = default;
};

// What identifies one version of a file: if any of it differs, the file is not the one it was.
// Times in nanoseconds since 1970.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;

    bool operator==(const FileStamp&) const = default;
};

// A file opened for reading, read a piece at a time at any offset. Pieces are copied into the
// caller's memory: a pass over a file much bigger than memory holds only the piece in hand, and
// copying beats mapping here, where every page first touched through a fresh mapping is dear.
class IReadableFile {
public:
    virtual ~IReadableFile() = default;
    // The file as it was when it was opened.
    virtual const FileStamp& stamp() const = 0;
    // Reads into.size() bytes at offset, fewer only where the file ends; the number read.
    virtual std::expected<std::size_t, Error> readAt(std::uint64_t offset, std::span<char> into) const = 0;
};

// A folder opened for reading the files in it by name: going through many files of one folder
// costs no lookup of its path per file. The names are of entries of this folder; a symbolic link
// is never followed, and no access time is written into a file read, where the kernel allows.
class IReadableFolder {
public:
    virtual ~IReadableFolder() = default;
    // Which folder it is, as the walk of a tree tells its folders apart.
    virtual FileId id() const = 0;
    // Reads the first into.size() bytes of the file called name, fewer only where it ends; the
    // number read. For a first look at many files: nothing is allocated, nothing more of the file
    // is read ahead into memory, and a file that may be no regular file (it was one when its
    // folder was listed) must be opened with openFile() before anything more is done with it.
    virtual std::expected<std::size_t, Error> readStart(const std::string& name, std::span<char> into) = 0;
    // The regular file called name opened for reading.
    virtual std::expected<std::unique_ptr<IReadableFile>, Error> openFile(const std::string& name) = 0;
};

// New contents for a file, written under a temporary name beside it. They take the file's place
// only at commit(); until then, and for ever when the replacement is dropped before commit(), the
// file stays exactly as it was and the temporary file is removed.
class IReplacement {
public:
    virtual ~IReplacement() = default;
    virtual std::expected<void, Error> write(std::string_view bytes) = 0;
    // Writes over bytes already written, at offset from the start (a header known only at the end),
    // or beyond them.
    virtual std::expected<void, Error> writeAt(std::uint64_t offset, std::string_view bytes) = 0;
    // Reads back into.size() bytes of the new contents at offset, fewer only where they end: for a
    // writer that revises what it wrote as it goes (the database engine). Before finish() only.
    virtual std::expected<std::size_t, Error> readAt(std::uint64_t offset, std::span<char> into) = 0;
    // Flushes the new contents to stable storage and closes them; nothing is replaced yet.
    virtual std::expected<void, Error> finish() = 0;
    // Finishes if that has not been done, moves the new contents over the file and makes the move
    // itself durable.
    virtual std::expected<void, Error> commit() = 0;
};

// A folder held by one writer of the program at a time (see IFileSystem::lockFolder); let go of
// when dropped.
class IFolderLock {
public:
    virtual ~IFolderLock() = default;
};

// A file without a name for what does not fit in memory while it is worked on: it is gone when
// it is dropped, also when the process ends before.
class IScratchFile {
public:
    virtual ~IScratchFile() = default;
    // Appends.
    virtual std::expected<void, Error> write(std::string_view bytes) = 0;
    // Reads into.size() bytes at offset, fewer only where the file ends; the number read.
    virtual std::expected<std::size_t, Error> readAt(std::uint64_t offset, std::span<char> into) const = 0;
};

// Every access of the program to its own files goes through here, so that tests can inject the
// failures of a real disk (full, unreadable, failing renames) into any of them.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // The whole contents of a regular file, byte for byte; nothing when there is no entry at path.
    // An entry that cannot be read as a file (a folder, a FIFO or device, no permission, an I/O
    // error, more than maxSize bytes) is an error.
    virtual std::expected<std::optional<std::string>, Error> readWholeFile(const std::string& path, std::size_t maxSize)
        = 0;
    // Starts replacing the file at path, which need not exist yet. A symbolic link at path keeps
    // pointing at its target, which is the file replaced; an existing file keeps its permissions;
    // a file the caller may not write to is refused (EACCES) and stays as it was.
    virtual std::expected<std::unique_ptr<IReplacement>, Error> beginReplacement(const std::string& path) = 0;
    // The same for a file that is only a cache of what can be made again: the new contents are
    // not forced to stable storage, so a crash may leave the old file or damaged new contents,
    // which the reader must recognise.
    virtual std::expected<std::unique_ptr<IReplacement>, Error> beginCacheReplacement(const std::string& path) = 0;
    // A new scratch file on the file system of folder.
    virtual std::expected<std::unique_ptr<IScratchFile>, Error> createScratchFile(const std::string& folder) = 0;
    // The regular file at path opened for reading (links followed).
    virtual std::expected<std::unique_ptr<IReadableFile>, Error> openForReading(const std::string& path) = 0;
    // The folder at path opened for reading the files in it (links followed on the way).
    virtual std::expected<std::unique_ptr<IReadableFolder>, Error> openFolder(const std::string& path) = 0;
    // The stamp of the file at path now (links followed).
    virtual std::expected<FileStamp, Error> stampOf(const std::string& path) = 0;
    // The absolute path of an existing entry, with links and "." and ".." resolved.
    virtual std::expected<std::string, Error> canonicalPath(const std::string& path) = 0;
    // The entries of a folder in the order the system gives them, without "." and "..".
    virtual std::expected<std::vector<FolderEntry>, Error> listFolder(const std::string& path) = 0;
    // Creates exactly one folder; its parent must exist.
    virtual std::expected<void, Error> createDirectory(const std::string& path) = 0;
    // Moves from over to in one step.
    virtual std::expected<void, Error> renameFile(const std::string& from, const std::string& to) = 0;
    // Deletes permanently.
    virtual std::expected<void, Error> removeFile(const std::string& path) = 0;
    // Whether path names an existing entry that is not a folder (links followed).
    virtual bool isFile(const std::string& path) = 0;
    // Whether path names an existing folder (links followed).
    virtual bool isDirectory(const std::string& path) = 0;
    // Moves the file into the desktop's trash, from where the user can restore it.
    virtual std::expected<void, Error> moveToTrash(const std::string& path) = 0;
    // Removes the temporary files of replacements that were never committed because their process
    // ended first (a crash, a kill); those of processes still running stay.
    virtual void removeAbandonedReplacements(const std::string& folder) = 0;
    // Waits until no other writer of this program, in this process or another, holds the folder,
    // and holds it until the lock is dropped: what a writer changes there in several steps is
    // never interleaved with another's. Nothing where the folder cannot be locked (a network
    // file system without locks): the writer goes on alone.
    virtual std::unique_ptr<IFolderLock> lockFolder(const std::string& folder) = 0;
};

// Replaces the whole file at path with contents in one step (see beginReplacement): a failure at
// any point leaves the old file as it was.
std::expected<void, Error> replaceWholeFile(
    IFileSystem& fileSystem, const std::string& path, std::string_view contents);

// Creates exactly one folder whose parent exists.
using FolderMaker = std::function<std::expected<void, Error>(const std::string& path)>;

// Creates every folder of path that is not there yet, from the root down, each with makeFolder; a
// folder that is already there (EEXIST) is fine. path is taken from the root, and doubled or closing
// separators count for nothing. Returns the folder as made: "/a/b" for "/a//b/".
std::expected<std::string, Error> createMissingFolders(std::string_view path, const FolderMaker& makeFolder);
// The same, each folder made by fileSystem.
std::expected<std::string, Error> createMissingFolders(IFileSystem& fileSystem, std::string_view path);

} // namespace mellowby::platform
