#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "names/growingbuffer.h"
#include "platform/error.h"
#include "platform/filesystem.h"

namespace mellowby::names {

// Where the sections of an index being made go while they are collected, when they outgrow
// memory: scratch files in a folder (the cache folder, beside the index), each section kept in
// memory up to memoryLimit bytes at a time.
struct SpillSpace {
    platform::IFileSystem* fileSystem = nullptr;
    std::string folder;
    std::size_t memoryLimit = 4 << 20;
};

// The bytes of one section of an index, appended as they come: in memory, or, with a spill space,
// in memory up to its limit and the rest in a scratch file, so that memory does not grow with
// the section. The first failure to spill sticks: nothing more is kept, and forEachPiece reports it.
class SpillingBuffer {
public:
    SpillingBuffer() = default;
    explicit SpillingBuffer(const SpillSpace* space)
        : m_space(space)
    {
    }

    void append(std::string_view bytes)
    {
        if (m_failure)
            return;
        m_memory.append(bytes);
        if (m_space != nullptr && m_memory.size() >= m_space->memoryLimit)
            spill();
    }
    template <typename Record> void appendRecord(const Record& record)
    {
        static_assert(std::is_trivially_copyable_v<Record>);
        append({ reinterpret_cast<const char*>(&record), sizeof record });
    }

    std::uint64_t size() const { return m_spilled + m_memory.size(); }
    // The memory it holds.
    std::size_t heldBytes() const { return m_memory.capacity(); }

    // Gives every byte appended, in order, a piece at a time.
    std::expected<void, platform::Error> forEachPiece(const std::function<void(std::string_view)>& each) const;
    // Lets the memory and the scratch file go.
    void release();

private:
    void spill();

    const SpillSpace* m_space = nullptr;
    GrowingBuffer m_memory; // what follows the spilled bytes
    std::unique_ptr<platform::IScratchFile> m_file;
    std::uint64_t m_spilled = 0;
    std::optional<platform::Error> m_failure;
};

} // namespace mellowby::names
