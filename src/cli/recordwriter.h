#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mellowby::cli {

enum class RecordFormat { Tsv, Csv, Json };

// The format of a --format value (tsv, csv, json), or nothing.
std::optional<RecordFormat> recordFormatNamed(std::string_view name);

// A field of the records a command prints: its key in JSON, its heading in CSV.
struct RecordField {
    std::string key;
    std::string heading;
};

// Records of fields, handed on in pieces of about 64 KiB and whole at finish():
// - TSV: the fields joined by tabs, one record a line, no heading: what the tool always printed;
// - CSV (RFC 4180): UTF-8 after a byte-order mark, a line of headings first, CRLF line ends,
//   fields holding a comma, a quote or a line break quoted with their quotes doubled, so that a
//   spreadsheet on a Chinese desktop opens it with the Chinese intact;
// - JSON: one array of objects, UTF-8, bytes that are not UTF-8 replaced by U+FFFD.
class RecordWriter {
public:
    RecordWriter(RecordFormat format, std::vector<RecordField> fields, std::function<void(std::string_view)> out);

    RecordFormat format() const { return m_format; }

    // fields in the order they were named.
    void record(std::initializer_list<std::string_view> values);
    // Ends the output (the JSON array) and hands on what is left; once, after the last record.
    // Records of a writer never finished are never handed on whole.
    void finish();

private:
    void begin();
    void appendCsv(std::string_view value);
    void appendJson(std::string_view value);
    void handOnFull();

    RecordFormat m_format;
    std::vector<RecordField> m_fields;
    std::function<void(std::string_view)> m_out;
    bool m_begun = false;
    bool m_first = true;
    std::string m_text;
};

} // namespace mellowby::cli
