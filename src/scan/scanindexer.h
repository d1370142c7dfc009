#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "names/namesindexbuilder.h"
#include "scan/batchedwork.h"

namespace mellowby::scan {

// Collects the names index of a scan on a thread of its own (see BatchedWork).
class ScanIndexer {
public:
    // How many batches, of about batchBytes each, may wait to be collected.
    explicit ScanIndexer(std::size_t waitingBatches = 4, std::size_t batchBytes = 256 * 1024);

    // As names::NamesIndexBuilder's, with the texts as a reader of the catalog reads them.
    void beginDisk(std::string_view title, std::string_view label);
    void enterDirectory(std::string_view title);
    void leaveDirectory();
    void addFile(std::string_view name, std::string_view size, std::string_view date,
        std::optional<names::SizeAndTime> facts = std::nullopt);
    // The catalog has a database whose facts the index carries (see NamesIndexBuilder::keepFacts).
    void keepFacts();

    // Runs task on the builder on the collecting thread once every entry handed over is in, so
    // that writing the index goes on while the walk's own thread does something else; wait()
    // waits for it (and passes on what it threw, or what collecting threw).
    void finishWith(std::function<void(names::NamesIndexBuilder&)> task);
    void wait();

private:
    enum class Kind : char { Disk, Enter, Leave, File, FileWithFacts, KeepFacts };

    void apply(std::string_view batch);

    names::NamesIndexBuilder m_builder;
    BatchedWork m_work; // last: its thread uses the builder
};

} // namespace mellowby::scan
