#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string_view>
#include <vector>

#include "names/indexsink.h"
#include "platform/error.h"

struct XXH3_state_s;

namespace mellowby::names {

// Writes the sections of an index one after another, in one pass, and the checksum of each of
// their blocks (every section is cut into blocks from its own start). The checksums, which come
// before the sections in the file, are written over the room left for them at the end. The first
// failure to write sticks; later sections are not written.
class IndexSectionWriter {
public:
    explicit IndexSectionWriter(IIndexSink& sink);
    ~IndexSectionWriter();
    IndexSectionWriter(const IndexSectionWriter&) = delete;
    IndexSectionWriter& operator=(const IndexSectionWriter&) = delete;

    // Leaves room of bytes zeros for what is written last (the header and the checksums).
    std::expected<void, platform::Error> leaveRoom(std::uint64_t bytes);
    // One whole section.
    void section(std::string_view bytes);
    // A section in pieces: append each, then end it.
    void append(std::string_view bytes);
    void endSection();
    // Makes the index fail with error, when what a section holds cannot be had.
    void fail(platform::Error error);
    // Writes the checksums at offset; the checksum of them all, for the header.
    std::expected<std::uint64_t, platform::Error> finish(std::uint64_t checksumsOffset);

private:
    void hash(std::string_view bytes);
    void endBlock();

    IIndexSink& m_sink;
    XXH3_state_s* m_state;
    std::size_t m_filled = 0; // bytes of the block under way
    std::vector<std::uint64_t> m_checksums;
    std::optional<platform::Error> m_failure;
};

} // namespace mellowby::names
