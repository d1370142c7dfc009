#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>

#include "platform/error.h"

namespace mellowby::digest {

// Tells a disc taken out of its drive (or a drive unplugged) from a damaged place on it: both
// make reads fail, but a damaged place spoils a few files and the next reads well again, while a
// disc that is gone fails everything from then on.
class MediumWatch {
public:
    // Files in a row that fail with EIO, nothing read well between them, before the medium is
    // taken for gone: more than a scratch or a bad sector spoils in a row.
    static constexpr std::size_t kFailuresInARow = 8;

    // A read or an open failed; true when it says the medium is gone.
    bool failed(const platform::Error& error);
    // Bytes were read: the medium is there.
    void succeeded() { m_failuresInARow.store(0, std::memory_order_relaxed); }
    // The error that said the medium is gone, once one has.
    std::optional<platform::Error> gone() const;

private:
    std::atomic<std::size_t> m_failuresInARow = 0;
    mutable std::mutex m_mutex;
    std::optional<platform::Error> m_gone;
};

} // namespace mellowby::digest
