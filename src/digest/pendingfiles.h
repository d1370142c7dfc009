#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "digest/filedigest.h"
#include "digest/memoryuse.h"

namespace mellowby::digest {

// A file taken from those waiting, with the bytes it counts for until it is done.
struct HeldFile {
    FileToDigest file;
    std::size_t cost = 0;
    // Its place among the files given.
    std::uint64_t given = 0;
};

// A number of files, or of their bytes, whichever comes first.
struct BatchSize {
    std::size_t files = 0;
    std::uint64_t bytes = 0;
};

// The files given to a run and not yet done, held within a number of bytes: the one who gives
// them (a walk) never waits for the readers unless the files waiting would pass that bound,
// however many there are. A file's bytes count from when it is given until it is done.
class PendingFiles {
public:
    // How long a reader waits for more files to come when fewer than it would like are waiting:
    // a batch is sorted better, and the giver is not woken for every file.
    static constexpr std::chrono::milliseconds kPatience { 10 };

    PendingFiles(std::size_t byteLimit, MemoryUse& memory)
        : m_byteLimit(byteLimit)
        , m_memory(memory)
    {
    }

    // Waits only while the files held would pass the bound; false once closed.
    bool add(FileToDigest file);
    // Every file has been given.
    void finishAdding();
    // Waits until the files waiting make enough, or no more will come soon (every file has been
    // given, the giver waits at the bound, or kPatience has passed since one was waiting), and
    // takes up to most of them in the order given. None once every file given is taken and no
    // more will come, or once closed.
    std::vector<HeldFile> take(BatchSize enough, BatchSize most);
    // A file taken is done: its bytes no longer count.
    void release(std::size_t cost);
    // Ends the run early: whoever waits is woken, add() gives false and take() nothing from now on.
    void close();

private:
    bool makes(BatchSize size) const { return m_files.size() >= size.files || m_waitingBytes >= size.bytes; }

    std::size_t m_byteLimit;
    MemoryUse& m_memory;
    std::mutex m_mutex;
    // The takers wait on the one, the giver on the other: neither is woken for nothing.
    std::condition_variable m_filesCame;
    std::condition_variable m_roomMade;
    std::deque<HeldFile> m_files;
    std::uint64_t m_waitingBytes = 0;
    std::size_t m_held = 0;
    std::uint64_t m_given = 0;
    std::size_t m_takersWaiting = 0;
    BatchSize m_enough;
    bool m_giverWaiting = false;
    bool m_finished = false;
    bool m_closed = false;
};

} // namespace mellowby::digest
