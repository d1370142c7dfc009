#include "names/spillingbuffer.h"

#include <algorithm>
#include <vector>

namespace mellowby::names {

namespace {

// How much of a scratch file is read back at a time.
constexpr std::size_t kReadPiece = 1 << 20;

} // namespace

void SpillingBuffer::spill()
{
    if (!m_file) {
        auto file = m_space->fileSystem->createScratchFile(m_space->folder);
        if (!file) {
            m_failure = file.error();
            m_memory.release();
            return;
        }
        m_file = std::move(*file);
    }
    if (auto written = m_file->write(m_memory.bytes()); !written) {
        m_failure = written.error();
        m_memory.release();
        return;
    }
    m_spilled += m_memory.size();
    m_memory.clear();
}

std::expected<void, platform::Error> SpillingBuffer::forEachPiece(
    const std::function<void(std::string_view)>& each) const
{
    if (m_failure)
        return std::unexpected(*m_failure);
    if (m_spilled > 0) {
        std::vector<char> piece(static_cast<std::size_t>(std::min<std::uint64_t>(kReadPiece, m_spilled)));
        for (std::uint64_t offset = 0; offset < m_spilled;) {
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), m_spilled - offset));
            const auto got = m_file->readAt(offset, std::span<char>(piece.data(), want));
            if (!got)
                return std::unexpected(got.error());
            if (*got != want)
                return std::unexpected(platform::Error { 0, "scratch file cut short" });
            each({ piece.data(), want });
            offset += want;
        }
    }
    if (m_memory.size() > 0)
        each(m_memory.bytes());
    return {};
}

void SpillingBuffer::release()
{
    m_memory.release();
    m_file.reset();
    m_spilled = 0;
    m_failure.reset();
}

} // namespace mellowby::names
