#include "catalogdb/entryrow.h"

#include <bit>
#include <cstring>

namespace mellowby::catalogdb {

namespace {

// Each value in eight bytes, little-endian, after a byte that says whether there is one.
void appendValue(std::string& bytes, std::optional<std::int64_t> number)
{
    bytes += number ? '\1' : '\0';
    auto bits = static_cast<std::uint64_t>(number.value_or(0));
    if constexpr (std::endian::native == std::endian::big)
        bits = std::byteswap(bits);
    char raw[sizeof bits];
    std::memcpy(raw, &bits, sizeof bits);
    bytes.append(raw, sizeof raw);
}

// A text after its length.
void appendText(std::string& bytes, std::string_view text)
{
    appendValue(bytes, static_cast<std::int64_t>(text.size()));
    bytes += text;
}

} // namespace

void RowsHash::add(const EntryRow& row)
{
    m_row.clear();
    appendValue(m_row, row.id);
    appendValue(m_row, row.parent);
    appendValue(m_row, row.kind);
    appendText(m_row, row.name);
    appendValue(m_row, row.size);
    appendValue(m_row, row.modifiedNs);
    appendValue(m_row, row.bornNs);
    appendValue(m_row, row.dateFrom);
    appendValue(m_row, row.sizeText);
    m_hash.update(m_row);
}

void RowsHash::add(const ArchiveRow& row)
{
    m_row.clear();
    appendValue(m_row, row.entry);
    appendValue(m_row, row.status);
    appendText(m_row, row.format);
    appendValue(m_row, row.memberCount);
    m_hash.update(m_row);
}

void RowsHash::add(const DigestRow& row)
{
    m_row.clear();
    appendValue(m_row, row.entry);
    appendText(m_row, row.algorithm);
    appendText(m_row, row.digest);
    m_hash.update(m_row);
}

void RowsHash::add(const MemberRow& row)
{
    m_row.clear();
    appendValue(m_row, row.id);
    appendValue(m_row, row.archive);
    appendValue(m_row, row.parent);
    appendValue(m_row, row.kind);
    appendText(m_row, row.name);
    appendValue(m_row, row.size);
    appendValue(m_row, row.modifiedNs);
    appendValue(m_row, row.position);
    appendText(m_row, row.path);
    appendValue(m_row, std::int64_t { row.encrypted });
    m_hash.update(m_row);
}

} // namespace mellowby::catalogdb
