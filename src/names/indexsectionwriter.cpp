#include "names/indexsectionwriter.h"

#include <algorithm>
#include <string>
#include <xxhash.h>

#include "names/namesindexformat.h"

namespace mellowby::names {

IndexSectionWriter::IndexSectionWriter(IIndexSink& sink)
    : m_sink(sink)
    , m_state(XXH3_createState())
{
    XXH3_64bits_reset(m_state);
}

IndexSectionWriter::~IndexSectionWriter()
{
    XXH3_freeState(m_state);
}

std::expected<void, platform::Error> IndexSectionWriter::leaveRoom(std::uint64_t bytes)
{
    return m_sink.write(std::string(bytes, '\0'));
}

void IndexSectionWriter::section(std::string_view bytes)
{
    append(bytes);
    endSection();
}

void IndexSectionWriter::append(std::string_view bytes)
{
    if (m_failure || bytes.empty())
        return;
    hash(bytes);
    if (auto written = m_sink.write(bytes); !written)
        m_failure = written.error();
}

void IndexSectionWriter::endSection()
{
    // The next section starts a block of its own.
    if (m_filled > 0)
        endBlock();
}

void IndexSectionWriter::fail(platform::Error error)
{
    if (!m_failure)
        m_failure = std::move(error);
}

std::expected<std::uint64_t, platform::Error> IndexSectionWriter::finish(std::uint64_t checksumsOffset)
{
    if (m_failure)
        return std::unexpected(*m_failure);
    const std::string_view bytes(
        reinterpret_cast<const char*>(m_checksums.data()), m_checksums.size() * sizeof(std::uint64_t));
    if (auto written = m_sink.writeAt(checksumsOffset, bytes); !written)
        return std::unexpected(written.error());
    return XXH3_64bits(bytes.data(), bytes.size());
}

void IndexSectionWriter::hash(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t take = std::min(indexformat::kBlockSize - m_filled, bytes.size());
        XXH3_64bits_update(m_state, bytes.data(), take);
        m_filled += take;
        bytes.remove_prefix(take);
        if (m_filled == indexformat::kBlockSize)
            endBlock();
    }
}

void IndexSectionWriter::endBlock()
{
    m_checksums.push_back(XXH3_64bits_digest(m_state));
    XXH3_64bits_reset(m_state);
    m_filled = 0;
}

} // namespace mellowby::names
