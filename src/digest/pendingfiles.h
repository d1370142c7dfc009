#pragma once

#include "digest/filedigest.h"
#include "digest/memoryuse.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace mellowby::digest {

// A file taken from those waiting, with the bytes it counts for until it is done.
struct HeldFile {
    FileToDigest file;
    std::size_t cost = 0;
    // Its place among the files given, and where its data lie when that is asked (see
    // PlacementOrder).
    std::uint64_t given = 0;
    std::uint64_t place = 0;
};

// The files given to a run and not yet done, held within a number of bytes: the one who gives
// them (a walk) never waits for the readers unless the files waiting would pass that bound,
// however many there are. A file's bytes count from when it is given until it is done.
class PendingFiles {
public:
    PendingFiles(std::size_t byteLimit, MemoryUse& memory)
        : m_byteLimit(byteLimit)
        , m_memory(memory)
    {
    }

    // Waits only while the files held would pass the bound; false once closed.
    bool add(FileToDigest file);
    // Every file has been given.
    void finishAdding();
    // Up to most files in the order given, waiting for one; none once every file given is taken
    // and no more will come, or once closed.
    std::vector<HeldFile> take(std::size_t most);
    // A file taken is done: its bytes no longer count.
    void release(std::size_t cost);
    // Ends the run early: whoever waits is woken, add() gives false and take() nothing from now on.
    void close();

private:
    std::size_t m_byteLimit;
    MemoryUse& m_memory;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<HeldFile> m_files;
    std::size_t m_held = 0;
    std::uint64_t m_given = 0;
    bool m_finished = false;
    bool m_closed = false;
};

} // namespace mellowby::digest
