#pragma once

#include <expected>
#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace mellowby::platform {

// A new file being written. Closing without finish() leaves the file incomplete on disk;
// the owner removes it.
class IOutputFile {
public:
    virtual ~IOutputFile() = default;
    virtual std::expected<void, Error> write(std::string_view bytes) = 0;
    // Flushes to stable storage and closes; the file is complete only when this succeeded.
    virtual std::expected<void, Error> finish() = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // Creates exactly one directory; its parent must exist.
    virtual std::expected<void, Error> createDirectory(const std::string& path) = 0;
    // Creates a file that must not exist yet.
    virtual std::expected<std::unique_ptr<IOutputFile>, Error> createNewFile(const std::string& path) = 0;
    // Replaces `to` with `from` in one step.
    virtual std::expected<void, Error> renameFile(const std::string& from, const std::string& to) = 0;
    // Deletes permanently.
    virtual std::expected<void, Error> removeFile(const std::string& path) = 0;
    // Whether path names an ordinary file (not a directory) whose name does not start with ".".
    virtual bool isVisibleFile(const std::string& path) = 0;
    // Whether path names an existing entry that is not a directory (links followed).
    virtual bool isFile(const std::string& path) = 0;
    // Moves the file into the desktop's trash, from where the user can restore it.
    virtual std::expected<void, Error> moveToTrash(const std::string& path) = 0;
};

} // namespace mellowby::platform
