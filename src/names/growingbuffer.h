#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

namespace mellowby::names {

// Bytes, or plain records, that grow at the end in one block, resized with realloc: a large block
// is moved by remapping its pages rather than copying them, so collecting the names of millions
// of files does not copy them again and again as a std::string or std::vector would.
class GrowingBuffer {
public:
    GrowingBuffer() = default;
    ~GrowingBuffer() { std::free(m_data); }
    GrowingBuffer(GrowingBuffer&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr))
        , m_size(std::exchange(other.m_size, 0))
        , m_capacity(std::exchange(other.m_capacity, 0))
    {
    }
    GrowingBuffer& operator=(GrowingBuffer&& other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
        return *this;
    }
    GrowingBuffer(const GrowingBuffer&) = delete;
    GrowingBuffer& operator=(const GrowingBuffer&) = delete;

    void append(std::string_view bytes)
    {
        reserveFor(bytes.size());
        if (!bytes.empty())
            std::memcpy(m_data + m_size, bytes.data(), bytes.size());
        m_size += bytes.size();
    }
    template <typename Record> void appendRecord(const Record& record)
    {
        static_assert(std::is_trivially_copyable_v<Record>);
        append({ reinterpret_cast<const char*>(&record), sizeof record });
    }

    std::size_t size() const { return m_size; }
    std::size_t capacity() const { return m_capacity; }
    std::string_view bytes() const { return { m_data, m_size }; }
    // The records appended, for a buffer that holds only records of one type.
    template <typename Record> std::span<Record> records()
    {
        return { reinterpret_cast<Record*>(m_data), m_size / sizeof(Record) };
    }
    template <typename Record> std::span<const Record> records() const
    {
        return { reinterpret_cast<const Record*>(m_data), m_size / sizeof(Record) };
    }
    // Empties it, keeping the memory for what comes next.
    void clear() { m_size = 0; }
    // Lets the memory go.
    void release() { *this = GrowingBuffer(); }

private:
    void reserveFor(std::size_t more)
    {
        if (m_capacity - m_size >= more)
            return;
        std::size_t capacity = m_capacity == 0 ? 64 * 1024 : m_capacity;
        while (capacity - m_size < more)
            capacity *= 2;
        void* grown = std::realloc(m_data, capacity);
        if (grown == nullptr)
            throw std::bad_alloc();
        m_data = static_cast<char*>(grown);
        m_capacity = capacity;
    }

    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace mellowby::names
