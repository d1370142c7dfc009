#include "cli/recordwriter.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <unicode/utf8.h>

namespace mellowby::cli {

namespace {

// Whether a CSV field holds a comma, a quote or a line break, sixteen bytes at a time: fields
// are mostly long locations, and most hold none.
bool needsQuotes(std::string_view value)
{
    const char* at = value.data();
    const char* const end = at + value.size();
#if defined(__SSE2__)
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i lineFeed = _mm_set1_epi8('\n');
    for (; end - at >= 16; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i found = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, comma), _mm_cmpeq_epi8(bytes, quote)),
            _mm_or_si128(_mm_cmpeq_epi8(bytes, carriageReturn), _mm_cmpeq_epi8(bytes, lineFeed)));
        if (_mm_movemask_epi8(found) != 0)
            return true;
    }
#endif
    for (; at != end; ++at) {
        const char c = *at;
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

// What the writer gathers before handing it on: a few pipe buffers' worth.
constexpr std::size_t kHandOnSize = 64 * 1024;

} // namespace

std::optional<RecordFormat> recordFormatNamed(std::string_view name)
{
    if (name == "tsv")
        return RecordFormat::Tsv;
    if (name == "csv")
        return RecordFormat::Csv;
    if (name == "json")
        return RecordFormat::Json;
    return std::nullopt;
}

RecordWriter::RecordWriter(
    RecordFormat format, std::vector<RecordField> fields, std::function<void(std::string_view)> out)
    : m_format(format)
    , m_fields(std::move(fields))
    , m_out(std::move(out))
{
}

void RecordWriter::begin()
{
    if (m_begun)
        return;
    m_begun = true;
    m_text.reserve(kHandOnSize + 4096);
    if (m_format == RecordFormat::Csv) {
        m_text += "\xEF\xBB\xBF";
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            if (i > 0)
                m_text += ',';
            appendCsv(m_fields[i].heading);
        }
        m_text += "\r\n";
    } else if (m_format == RecordFormat::Json) {
        m_text += '[';
    }
}

void RecordWriter::handOnFull()
{
    if (m_text.size() < kHandOnSize)
        return;
    m_out(m_text);
    m_text.clear();
}

void RecordWriter::record(std::initializer_list<std::string_view> values)
{
    begin();
    std::size_t i = 0;
    switch (m_format) {
    case RecordFormat::Tsv:
        for (const std::string_view value : values) {
            if (i++ > 0)
                m_text += '\t';
            m_text += value;
        }
        m_text += '\n';
        break;
    case RecordFormat::Csv:
        for (const std::string_view value : values) {
            if (i++ > 0)
                m_text += ',';
            appendCsv(value);
        }
        m_text += "\r\n";
        break;
    case RecordFormat::Json:
        m_text += m_first ? "\n{" : ",\n{";
        for (const std::string_view value : values) {
            if (i == m_fields.size())
                break;
            if (i > 0)
                m_text += ", ";
            appendJson(m_fields[i++].key);
            m_text += ": ";
            appendJson(value);
        }
        m_text += '}';
        break;
    }
    m_first = false;
    handOnFull();
}

void RecordWriter::finish()
{
    begin();
    if (m_format == RecordFormat::Json)
        m_text += m_first ? "]\n" : "\n]\n";
    if (!m_text.empty())
        m_out(m_text);
    m_text.clear();
}

void RecordWriter::appendCsv(std::string_view value)
{
    if (!needsQuotes(value)) {
        m_text += value;
        return;
    }
    // Quotes doubled, the rest as it is.
    m_text += '"';
    std::size_t start = 0;
    for (std::size_t quote = value.find('"'); quote != std::string_view::npos; quote = value.find('"', start)) {
        m_text.append(value.substr(start, quote + 1 - start)).append(1, '"');
        start = quote + 1;
    }
    m_text.append(value.substr(start)).append(1, '"');
}

void RecordWriter::appendJson(std::string_view value)
{
    m_text += '"';
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(value.data());
    const auto length = static_cast<std::int32_t>(value.size());
    for (std::int32_t i = 0; i < length;) {
        const std::int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            m_text += "\xEF\xBF\xBD"; // U+FFFD for what is not UTF-8
            continue;
        }
        switch (c) {
        case '"':
            m_text += "\\\"";
            break;
        case '\\':
            m_text += "\\\\";
            break;
        case '\n':
            m_text += "\\n";
            break;
        case '\r':
            m_text += "\\r";
            break;
        case '\t':
            m_text += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escaped[8];
                (void)std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                m_text += escaped;
            } else {
                m_text.append(value.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
            }
        }
    }
    m_text += '"';
}

} // namespace mellowby::cli
