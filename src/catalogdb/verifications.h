#pragma once

#include <cstdint>
#include <expected>
#include <map>
#include <memory>
#include <string>

#include "platform/error.h"

namespace mellowby::platform {
class IFileSystem;
}

namespace mellowby::catalogdb {

// When each file of a catalog was last found whole on its disc. The table is made the first time a
// verification is recorded, so a database without it (every one a scan writes) is one where no
// file has been verified yet. The rows of entries and digests, and so the hashes that tell that
// the database belongs to its catalog, stay as the scan wrote them.
//
// Records them while a verification goes on, so that writing them takes no time of its own at its
// end: the database is copied at once and the rows written into the copy on a thread of its own
// as they come; the copy replaces the database only at finish(), so a failure (a read-only Data
// folder, a full disk) or a verification given up leaves it as it was.
class VerificationRecorder {
public:
    VerificationRecorder(platform::IFileSystem& fileSystem, const std::string& databasePath);
    // Without finish(): the copy is dropped.
    ~VerificationRecorder();
    VerificationRecorder(const VerificationRecorder&) = delete;
    VerificationRecorder& operator=(const VerificationRecorder&) = delete;

    // The file of row entry (entries.id) was found whole at verifiedNs (nanoseconds since 1970);
    // from any thread, before finish().
    void add(std::int64_t entry, std::int64_t verifiedNs);
    // Writes the rows still waiting and has the copy replace the database; else why not, with the
    // database as it was.
    std::expected<void, platform::Error> finish();

private:
    struct Work;
    std::unique_ptr<Work> m_work;
};

// The times recorded, by entry; none for a database without the table. An error for one that
// cannot be read.
std::expected<std::map<std::int64_t, std::int64_t>, platform::Error> readVerifications(
    platform::IFileSystem& fileSystem, const std::string& databasePath);

} // namespace mellowby::catalogdb
