#include "catalogdb/entryrow.h"

#include <bit>
#include <cstring>

namespace mellowby::catalogdb {

namespace {

// A value takes a byte that says whether there is one and eight bytes, little-endian; a text
// takes its length as a value and its bytes.
constexpr std::size_t kValueBytes = 9;

// Puts the row's values one after another into bytes, made as long as they need at once: this
// runs for every row a database is written or read with.
class RowBytes {
public:
    RowBytes(std::string& bytes, std::size_t values, std::size_t textBytes)
    {
        bytes.resize(values * kValueBytes + textBytes);
        m_at = bytes.data();
    }

    RowBytes& value(std::optional<std::int64_t> number)
    {
        *m_at = number ? '\1' : '\0';
        auto bits = static_cast<std::uint64_t>(number.value_or(0));
        if constexpr (std::endian::native == std::endian::big)
            bits = std::byteswap(bits);
        std::memcpy(m_at + 1, &bits, sizeof bits);
        m_at += kValueBytes;
        return *this;
    }

    // A text after its length.
    RowBytes& text(std::string_view text)
    {
        value(static_cast<std::int64_t>(text.size()));
        if (!text.empty())
            std::memcpy(m_at, text.data(), text.size());
        m_at += text.size();
        return *this;
    }

private:
    char* m_at = nullptr;
};

} // namespace

void RowsHash::add(const EntryRow& row)
{
    RowBytes(m_row, 9, row.name.size())
        .value(row.id)
        .value(row.parent)
        .value(row.kind)
        .text(row.name)
        .value(row.size)
        .value(row.modifiedNs)
        .value(row.bornNs)
        .value(row.dateFrom)
        .value(row.sizeText);
    m_hash.update(m_row);
}

void RowsHash::add(const ArchiveRow& row)
{
    RowBytes(m_row, 4, row.format.size()).value(row.entry).value(row.status).text(row.format).value(row.memberCount);
    m_hash.update(m_row);
}

void RowsHash::add(const DigestRow& row)
{
    RowBytes(m_row, 3, row.algorithm.size() + row.digest.size()).value(row.entry).text(row.algorithm).text(row.digest);
    m_hash.update(m_row);
}

void RowsHash::add(const MemberRow& row)
{
    RowBytes(m_row, 10, row.name.size() + row.path.size())
        .value(row.id)
        .value(row.archive)
        .value(row.parent)
        .value(row.kind)
        .text(row.name)
        .value(row.size)
        .value(row.modifiedNs)
        .value(row.position)
        .text(row.path)
        .value(std::int64_t { row.encrypted });
    m_hash.update(m_row);
}

} // namespace mellowby::catalogdb
