#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include "digest/digestalgorithm.h"
#include "digest/filedigest.h"
#include "digest/mediumwatch.h"
#include "digest/memoryuse.h"
#include "digest/pendingfiles.h"
#include "platform/filereading.h"

namespace mellowby::digest {

// What the threads of a run share. Counters are atomic so that progress can be read at any time
// from any thread without holding up the readers.
struct RunState {
    using FileDone = std::function<void(FileDigest)>;

    RunState(platform::IFileReading& reading, DigestAlgorithm digestAlgorithm, std::size_t pendingLimit, FileDone done)
        : files(reading)
        , algorithm(digestAlgorithm)
        , pending(pendingLimit, memory)
        , fileDone(std::move(done))
    {
    }

    // Every reader stops before its next read; the files whose reading had ended are still
    // reported, the one being read is not.
    void stop()
    {
        stopping.store(true);
        pending.close();
    }
    bool stopped() const { return stopping.load(std::memory_order_relaxed); }

    // One file at a time, so that the one told need not be safe for threads.
    void report(FileDigest outcome)
    {
        std::lock_guard lock(reportMutex);
        fileDone(std::move(outcome));
    }

    platform::IFileReading& files;
    const DigestAlgorithm algorithm;
    MemoryUse memory;
    MediumWatch medium;
    PendingFiles pending;

    std::atomic<std::uint64_t> filesGiven = 0;
    std::atomic<std::uint64_t> bytesGiven = 0;
    std::atomic<std::uint64_t> filesDone = 0;
    std::atomic<std::uint64_t> bytesDone = 0;
    std::atomic<bool> allGiven = false;
    std::atomic<std::chrono::steady_clock::rep> startedAt = 0;

private:
    std::atomic<bool> stopping = false;
    std::mutex reportMutex;
    FileDone fileDone;
};

} // namespace mellowby::digest
