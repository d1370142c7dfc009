#include "cli/recordwriter.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <unicode/utf8.h>

namespace mellowby::cli {

namespace {

// Whether a CSV field holds a comma, a quote or a line break, eight bytes at a time: fields are
// mostly long locations, and most hold none.
bool needsQuotes(std::string_view value)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kTops = 0x8080808080808080ull;
    const auto holdsByte = [](std::uint64_t word, char c) {
        const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
        return ((x - kOnes) & ~x & kTops) != 0;
    };
    std::size_t i = 0;
    for (; i + 8 <= value.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, value.data() + i, sizeof word);
        if (holdsByte(word, ',') || holdsByte(word, '"') || holdsByte(word, '\r') || holdsByte(word, '\n'))
            return true;
    }
    for (; i < value.size(); ++i) {
        const char c = value[i];
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

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
    m_text.clear();
    if (m_format == RecordFormat::Csv) {
        m_text = "\xEF\xBB\xBF";
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            if (i > 0)
                m_text += ',';
            appendCsv(m_fields[i].heading);
        }
        m_text += "\r\n";
    } else if (m_format == RecordFormat::Json) {
        m_text = "[";
    }
    m_out(m_text);
}

void RecordWriter::record(const std::vector<std::string_view>& values)
{
    begin();
    m_text.clear();
    switch (m_format) {
    case RecordFormat::Tsv:
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0)
                m_text += '\t';
            m_text += values[i];
        }
        m_text += '\n';
        break;
    case RecordFormat::Csv:
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0)
                m_text += ',';
            appendCsv(values[i]);
        }
        m_text += "\r\n";
        break;
    case RecordFormat::Json:
        m_text += m_first ? "\n{" : ",\n{";
        for (std::size_t i = 0; i < values.size() && i < m_fields.size(); ++i) {
            if (i > 0)
                m_text += ", ";
            appendJson(m_fields[i].key);
            m_text += ": ";
            appendJson(values[i]);
        }
        m_text += '}';
        break;
    }
    m_first = false;
    m_out(m_text);
}

void RecordWriter::finish()
{
    begin();
    if (m_format == RecordFormat::Json)
        m_out(m_first ? "]\n" : "\n]\n");
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
