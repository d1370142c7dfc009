#pragma once

#include <cstddef>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace mellowby::platform {

// One entry of a folder of the program's own (the program folder, Data).
struct FolderEntry {
    std::string name;
    bool isDirectory = false; // a symbolic link counts as what it points to

    bool operator==(const FolderEntry&) const = default;
};

// New contents for a file, written under a temporary name beside it. They take the file's place
// only at commit(); until then, and for ever when the replacement is dropped before commit(), the
// file stays exactly as it was and the temporary file is removed.
class IReplacement {
public:
    virtual ~IReplacement() = default;
    virtual std::expected<void, Error> write(std::string_view bytes) = 0;
    // Flushes the new contents to stable storage and closes them; nothing is replaced yet.
    virtual std::expected<void, Error> finish() = 0;
    // Finishes if that has not been done, moves the new contents over the file and makes the move
    // itself durable.
    virtual std::expected<void, Error> commit() = 0;
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
};

// Replaces the whole file at path with contents in one step (see beginReplacement): a failure at
// any point leaves the old file as it was.
std::expected<void, Error> replaceWholeFile(
    IFileSystem& fileSystem, const std::string& path, std::string_view contents);

} // namespace mellowby::platform
