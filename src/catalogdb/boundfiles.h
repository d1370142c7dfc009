#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/error.h"

namespace mellowby::platform {
class IReplacement;
class IReadableFile;
} // namespace mellowby::platform

namespace mellowby::catalogdb {

// SQLite reads and writes a database through the program's own files rather than by a path of
// its own: one being written is a replacement, committed with its catalog (whole or not at all),
// one being read is a file opened for reading. Every byte so goes through the file system the
// program was given, whose faults tests choose. The files are reached by a name SQLite opens
// through the file system called kBoundFilesVfs; no journal or other file beside it exists.
inline constexpr const char* kBoundFilesVfs = "mellowby-bound";

// A file SQLite may open under name() while the binding lasts. The file must outlive it.
class BoundFile {
public:
    explicit BoundFile(platform::IReplacement& file);
    explicit BoundFile(const platform::IReadableFile& file);
    ~BoundFile();
    BoundFile(const BoundFile&) = delete;
    BoundFile& operator=(const BoundFile&) = delete;

    const std::string& name() const { return m_name; }
    // The first failure of the file itself that SQLite met (a full disk, an unreadable block),
    // which says more than SQLite's own message. Read on the thread that uses the connection.
    std::optional<platform::Error> failure() const;

    struct Target;

private:
    std::unique_ptr<Target> m_target;
    std::string m_name;
};

} // namespace mellowby::catalogdb
