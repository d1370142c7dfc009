#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "digest/digestalgorithm.h"
#include "digest/digestprogress.h"
#include "digest/filedigest.h"
#include "platform/filereading.h"

namespace mellowby::digest {

struct RunState;
class ReadingLane;

struct DigestOptions {
    DigestAlgorithm algorithm = DigestAlgorithm::Xxh128;
    // Everything the run holds, buffers and files waiting, whatever the sizes and the number of
    // the files.
    std::size_t memoryLimit = 64 * 1024 * 1024;
    // The kind of device the files lie on, when the caller knows; otherwise asked of the first
    // file's.
    std::optional<platform::StorageKind> storage;
    // The cores the run may keep busy; the machine's when not given.
    std::optional<unsigned> cores;
};

enum class RunEnd {
    // Every file given has been reported.
    Complete,
    Stopped,
    // The disc was taken out or the drive went away part way: reads failed from then on.
    MediumGone,
};

struct RunSummary {
    RunEnd end = RunEnd::Complete;
    // MediumGone: the failure that said so.
    platform::Error mediumError;
    // The most the run held at once, in bytes: buffers and files waiting.
    std::size_t peakMemory = 0;
};

// Reads files at the speed of their device and gives their digests. One thread (a walk) gives the
// files as it finds them and never waits for the reading unless the files waiting would pass the
// run's memory; readers of their own read them and report each file once, on their threads, one
// report at a time (fileDone must not throw). Stops at any time, between two reads. add(),
// finishAdding() and wait() belong to the thread that gives the files.
class DigestRun {
public:
    using FileDone = std::function<void(FileDigest)>;

    DigestRun(platform::IFileReading& files, DigestOptions options, FileDone fileDone);
    // Stops, and waits for the readers.
    ~DigestRun();
    DigestRun(const DigestRun&) = delete;
    DigestRun& operator=(const DigestRun&) = delete;

    // Gives a file to read; false once the run is stopped (or the medium gone): no more are taken.
    bool add(FileToDigest file);
    // Every file has been given.
    void finishAdding();
    // From any thread: the readers stop before their next read. Files whose reading had ended
    // are still reported (a few at most: those whose pieces wait for the hasher); the files being
    // read are not.
    void stop();
    // From any thread, at any time.
    DigestProgress progress() const;
    // Whether wait() would return at once, short of the last reports ending: every file given has
    // been reported (finishAdding() called), or the run is stopped. For a giver that waits while it
    // tells how far the run is, and stops it when asked.
    bool finished() const;
    // Waits until every file given is reported (finishAdding() must have been called) or the run
    // is stopped.
    RunSummary wait();
    // The same for a giver that tells how far the run is while it waits (progress, about ten times
    // a second, from the giver's thread) and stops it once stopRequested says so. The end is seen
    // within a few milliseconds: a disc of small files is read in a moment.
    RunSummary waitTelling(
        const std::function<bool()>& stopRequested, const std::function<void(const DigestProgress&)>& progress);

private:
    void startReading(const FileToDigest& first);

    DigestOptions m_options;
    std::unique_ptr<RunState> m_run;
    std::vector<std::unique_ptr<ReadingLane>> m_lanes;
};

} // namespace mellowby::digest
