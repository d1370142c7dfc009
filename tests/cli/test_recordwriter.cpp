#include <gtest/gtest.h>
#include <string>

#include "cli/recordwriter.h"

namespace mellowby::cli {
namespace {

std::string csvOf(std::string_view value)
{
    std::string out;
    RecordWriter writer(RecordFormat::Csv, { { "name", "名称" } }, [&](std::string_view text) { out += text; });
    writer.record({ value });
    writer.finish();
    return out;
}

// Fields are looked through sixteen bytes at a time, then byte by byte for the rest: a comma, a
// quote or a line break at any position of a field of any length up to four passes is quoted,
// its quotes doubled, and a field without any is written as it is.
TEST(CsvRecords, ACommaAQuoteOrALineBreakAtAnyPositionOfAnyLengthIsQuoted)
{
    const std::string heading = "\xEF\xBB\xBF名称\r\n";
    for (std::size_t length = 1; length <= 64; ++length) {
        const std::string plain(length, 'a');
        ASSERT_EQ(csvOf(plain), heading + plain + "\r\n") << length;
        for (const char special : { ',', '"', '\r', '\n' }) {
            for (std::size_t at = 0; at < length; ++at) {
                std::string value = plain;
                value[at] = special;
                std::string quoted = value;
                if (special == '"')
                    quoted.insert(at, 1, '"');
                ASSERT_EQ(csvOf(value), heading + "\"" + quoted + "\"\r\n")
                    << "byte " << static_cast<int>(special) << " at " << at << " of " << length;
            }
        }
    }
}

} // namespace
} // namespace mellowby::cli
