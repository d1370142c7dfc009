#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <thread>

#include "names/namesindexbuilder.h"
#include "platform/handoffqueue.h"

namespace mellowby::scan {

// Collects the names index of a scan on a thread of its own. The walk spends its time waiting for
// the system on every entry; handing the entries over in batches keeps the index from adding its
// own time to that, on a machine with a second core to spare. The walk waits when the collecting
// falls more than a few batches behind, so memory stays bounded on a machine without one.
class ScanIndexer {
public:
    // How many batches, of about batchBytes each, may wait to be collected.
    explicit ScanIndexer(std::size_t waitingBatches = 4, std::size_t batchBytes = 256 * 1024);
    // Stops the collecting thread, whatever it was doing.
    ~ScanIndexer();
    ScanIndexer(const ScanIndexer&) = delete;
    ScanIndexer& operator=(const ScanIndexer&) = delete;

    // As names::NamesIndexBuilder's, with the texts as a reader of the catalog reads them.
    void beginDisk(std::string_view title, std::string_view label);
    void enterDirectory(std::string_view title);
    void leaveDirectory();
    void addFile(std::string_view name, std::string_view size, std::string_view date);

    // Runs task on the builder on the collecting thread once every entry handed over is in, so
    // that writing the index goes on while the walk's own thread does something else; wait()
    // waits for it (and passes on what it threw, or what collecting threw).
    void finishWith(std::function<void(names::NamesIndexBuilder&)> task);
    void wait();

private:
    enum class Kind : char { Disk, Enter, Leave, File };

    void put(Kind kind, std::initializer_list<std::string_view> texts);
    void handOver();
    void collect();
    void apply(std::string_view batch);

    const std::size_t m_batchBytes;
    names::NamesIndexBuilder m_builder;
    std::string m_batch; // filled by the walk
    platform::HandoffQueue<std::string> m_queue;
    std::function<void(names::NamesIndexBuilder&)> m_task; // set before the queue is finished
    std::exception_ptr m_failure; // the collecting thread's, read once it has ended
    std::thread m_thread; // last: everything it uses exists before it starts
};

} // namespace mellowby::scan
