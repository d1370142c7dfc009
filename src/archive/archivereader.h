#pragma once

#include <chrono>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>

#include "app/codepage936.h"
#include "archive/archivekind.h"
#include "archive/archivelisting.h"
#include "platform/error.h"

struct archive;
struct archive_entry;

namespace mellowby::platform {
class IReadableFile;
}

namespace mellowby::archive {

// When the time given to one archive runs out, on the injected clock. No limit when unset.
class Deadline {
public:
    Deadline() = default;
    Deadline(ListingLimits::Clock clock, std::chrono::steady_clock::duration allowed)
        : m_clock(std::move(clock))
        , m_end(m_clock() + allowed)
    {
    }
    bool passed() const { return m_clock && m_clock() >= m_end; }

private:
    ListingLimits::Clock m_clock;
    std::chrono::steady_clock::time_point m_end;
};

// One libarchive reader over a file, set up for the formats of the kind its first bytes showed
// and no others (with every format on, libarchive reads a bare .gz of text as an "mtree"). All
// reads go through here: from the file at any offset, so zip's central directory is used, and
// each read first asks the deadline, so a member that takes long to skip is cut off too.
//
// libarchive converts names in the thread's locale; each call of a reader switches the thread to
// C.UTF-8 while it runs, so the program's own locale (often "C", where libarchive loses every
// name of a UTF-8 zip) changes nothing.
class ArchiveReader {
public:
    // Failed: the file could not be read (readError()); NotRecognised: no format of the kind
    // took it (or it broke before its first header).
    enum class Opening { Opened, NotRecognised, TimedOut, Failed };

    ArchiveReader(const platform::IReadableFile& file, ArchiveKind kind, Deadline deadline);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    Opening opening() const { return m_opening; }
    struct archive* get() const { return m_archive; }

    // The next header: ARCHIVE_OK (or ARCHIVE_WARN) with entry set, ARCHIVE_EOF, or a failure.
    int nextHeader(archive_entry*& entry);
    // Whether the last failure came from the deadline, or from the file that could not be read.
    bool timedOut() const;
    const std::optional<platform::Error>& readError() const;
    // libarchive's words for the last failure.
    std::string errorText() const;
    // The name of entry as its maker wrote it: for a zip, UTF-8 when its bytes are valid UTF-8
    // and code page 936 otherwise (Chinese Windows writes names so, without the UTF-8 flag);
    // for the other formats what libarchive decodes, or the bytes as they are where it cannot.
    std::string nameOf(archive_entry* entry);

    struct Source;

private:
    std::unique_ptr<Source> m_source;
    struct archive* m_archive = nullptr;
    Opening m_opening = Opening::Failed;
    ArchiveKind m_kind;
    app::Utf8OrCp936Reader m_zipNames;
};

} // namespace mellowby::archive
