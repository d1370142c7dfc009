#pragma once

#include "names/namesindex.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace mellowby::scan {

// Collects the names index of a scan on a thread of its own. The walk spends its time waiting for
// the system on every entry; handing the entries over in batches keeps the index from adding its
// own time to that, on a machine with a second core to spare.
class ScanIndexer {
public:
    ScanIndexer();
    // Stops the collecting thread, whatever it was doing.
    ~ScanIndexer();
    ScanIndexer(const ScanIndexer&) = delete;
    ScanIndexer& operator=(const ScanIndexer&) = delete;

    // As names::NamesIndexBuilder's, with the texts as a reader of the catalog reads them.
    void beginDisk(std::string_view title, std::string_view label);
    void enterDirectory(std::string_view title);
    void leaveDirectory();
    void addFile(std::string_view name, std::string_view size, std::string_view date);

    // Waits until every entry handed over is in the builder, and gives it.
    names::NamesIndexBuilder& finish();
    // Runs task on the builder on the collecting thread once every entry handed over is in, so
    // that writing the index goes on while the walk's own thread does something else; wait()
    // waits for it (and passes on what it threw).
    void finishWith(std::function<void(names::NamesIndexBuilder&)> task);
    void wait();

private:
    enum class Kind : char { Disk, Enter, Leave, File };

    void put(Kind kind, std::initializer_list<std::string_view> texts);
    void handOver();
    void collect();
    void apply(std::string_view batch);

    names::NamesIndexBuilder m_builder;
    std::string m_batch; // filled by the walk
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_full; // waiting to be collected
    std::string m_spare; // an emptied batch, to be filled again without allocating
    bool m_done = false; // everything is handed over
    bool m_collected = false; // and in the builder
    bool m_stop = false;
    std::function<void(names::NamesIndexBuilder&)> m_task;
    std::exception_ptr m_failure;
    std::thread m_thread; // last: everything it uses exists before it starts
};

} // namespace mellowby::scan
