#pragma once

#include "verify/verdict.h"

#include <atomic>
#include <expected>
#include <functional>
#include <optional>
#include <string>

#include "digest/digestprogress.h"

namespace mellowby::platform {
class IDirectoryLister;
class IFileReading;
class IVolumes;
} // namespace mellowby::platform

namespace mellowby::catalog {
class CatalogStore;
}

namespace mellowby::verify {

// What to verify: a catalog of the Data folder, where its disc is (by the record of its volume
// unless told), and whether files the scan did not digest are read all the same.
struct VerifyRequest {
    std::string catalogName;
    std::optional<std::string> at; // the folder the disc is mounted at, or the scanned folder itself
    // Read every byte of every file whose catalog holds no digest, to find the places that cannot
    // be read; without it such files are judged by their size and time alone.
    bool readEverything = false;
};

// Everything a verification works with, injected so that tests choose what the system answers.
struct VerifyServices {
    const catalog::CatalogStore& store; // the Data folder, whose file system records the result
    platform::IDirectoryLister& lister;
    platform::IFileReading& reading;
    platform::IVolumes& volumes;
};

// How a verification tells its caller (a worker thread of a window, the tool) what it finds. rows
// gets every file's verdict as soon as it is known, from the verification's threads, one call at
// a time; progress a few times a second while files are read. A stop asked for through stop ends
// the verification between two reads, and nothing is recorded.
struct VerifyCallbacks {
    std::function<void(const VerdictRow&)> rows;
    std::function<void(const digest::DigestProgress&)> progress;
    const std::atomic<bool>* stop = nullptr;
};

// Why a catalog could not be verified at all.
enum class VerifyFailure {
    NoCatalog,
    NoDatabase, // none, or one that does not belong to the catalog: nothing to compare with
    DiscNotFound,
    WrongDisc, // another volume is where the disc was asked for or was mounted
    Stopped,
};

struct VerifyProblem {
    VerifyFailure failure = VerifyFailure::NoCatalog;
    std::string text; // in words
};

struct VerifyOutcome {
    std::string scannedFolder; // where the files were looked for
    VerdictCounts counts;
    // Whether the time of the files found whole went into the catalog's database; when not, why.
    bool recorded = false;
    std::string notRecorded;
};

// Verifies the files of a catalog on its disc: every file of the catalog, and every file on the
// disc the scan's filter lets through, gets one verdict. Files with the size and modification time
// the catalog holds are read when the catalog holds their digests (or readEverything), at the
// speed of their device; a file that cannot be read is named with where and why, and the
// verification goes on. The time of those found whole is recorded in the catalog's database; where
// it cannot be written (a read-only Data folder), the verification counts all the same and says so.
std::expected<VerifyOutcome, VerifyProblem> verifyCatalog(
    const VerifyServices& services, const VerifyRequest& request, const VerifyCallbacks& callbacks);

} // namespace mellowby::verify
