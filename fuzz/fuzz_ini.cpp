// The bytes are an option.ini that the user may have edited by hand or that a crash may have
// damaged. Reading the four settings must work on anything, and saving one of them must change
// that one value and keep the text of every other line. Values are stored in code page 936, and
// one pair of quotes around a value is not part of it, so a quoted value saved reads back without
// its quotes. A file that reads as UTF-8 may change its bytes to the code page, so lines are
// compared as text.

#include "fuzzcheck.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/codepage936.h"
#include "app/inidocument.h"

namespace {

using namespace mellowby;
using fuzz::require;

constexpr std::string_view kSection = "Options";
constexpr std::array<std::string_view, 4> kKeys { "NoFileStr", "YesFileStr", "ifYesFile", "ifUseOption" };
// The same keys as a hand edit may spell them: the file's spelling is the one kept.
constexpr std::array<std::string_view, 4> kOtherSpellings { "nofilestr", "YESFILESTR", "IfYesFile", "ifuseoption" };

// A value as saved, the bytes it is stored as (code page 936, as on Windows) and what reads back.
struct SavedValue {
    std::string_view typed;
    std::string_view stored;
    std::string_view readBack;
};
constexpr std::array<SavedValue, 5> kValues { {
    { "GIF|JPG|PCX|TIF|ICO", "GIF|JPG|PCX|TIF|ICO", "GIF|JPG|PCX|TIF|ICO" },
    { "1", "1", "1" },
    { "", "", "" },
    { "图片 文档|MP3", "\xCD\xBC\xC6\xAC \xCE\xC4\xB5\xB5|MP3", "图片 文档|MP3" },
    // Stored as given; the reader drops one pair of outer quotes, as the platform's does.
    { "\" 1 \"", "\" 1 \"", " 1 " },
} };

std::array<std::string, 4> readSettings(const app::IniDocument& document)
{
    std::array<std::string, 4> values;
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        values[i] = document.value(kSection, kKeys[i]);
        require(values[i].find('\n') == std::string::npos && values[i].find('\0') == std::string::npos,
            "a value never holds a line break or NUL");
        // Blanks around a value go, unless quotes kept them.
        require(app::trimBlanks(values[i]).size() == values[i].size()
                || document.text().find_first_of("\"'") != std::string::npos,
            "a value comes without surrounding blanks");
    }
    return values;
}

// The text of a file as its lines read: without the byte order mark, which is skipped in either
// encoding, then UTF-8 or decoded from the code page.
std::string asText(const std::string& bytes)
{
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    const std::string body = bytes.starts_with(kBom) ? bytes.substr(kBom.size()) : bytes;
    if (app::IniDocument(bytes).readsUtf8())
        return body;
    auto decoder = app::Cp936Decoder::open();
    require(decoder.has_value(), "the C library has code page 936");
    return decoder->decode(body);
}

// The text after a save without the comment it may put first to say that the file is in the code
// page.
std::string withoutAddedMark(const std::string& before, std::string after)
{
    if (before.starts_with("; 编码：GBK"))
        return after;
    for (const std::string_view mark : { "; 编码：GBK\r\n", "; 编码：GBK\n" }) {
        if (after.starts_with(mark))
            after.erase(0, mark.size());
    }
    return after;
}

// The lines of text, each with its line break when it has one.
std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::size_t length = newline == std::string_view::npos ? text.size() : newline + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

// What ends a line: LF or CR LF, or at the end of the file a lone CR or nothing.
std::string_view terminatorOf(std::string_view line)
{
    if (line.ends_with("\r\n"))
        return "\r\n";
    if (line.ends_with('\n'))
        return "\n";
    if (line.ends_with('\r'))
        return "\r";
    return {};
}

// The line break the document uses for new lines: that of its first line.
std::string_view lineBreakOf(std::string_view text)
{
    const std::size_t newline = text.find('\n');
    return newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

// The key's line with only what follows '=' and its blanks replaced by value.
bool onlyValueReplaced(std::string_view before, std::string_view after, std::string_view value)
{
    const std::size_t equals = before.find('=');
    if (equals == std::string_view::npos || after.substr(0, equals + 1) != before.substr(0, equals + 1))
        return false;
    const std::string_view terminator = terminatorOf(before);
    if (terminatorOf(after) != terminator)
        return false;
    std::string_view rest = after.substr(equals + 1, after.size() - equals - 1 - terminator.size());
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    return rest == value;
}

// Either nothing changed, or one key line has its value replaced, or the new key line is inserted (after a line
// break for a last line without one, and under a new section, after a blank line, at the end).
bool onlyTheKeyChanged(std::string_view original, std::string_view edited, std::string_view key, std::string_view value)
{
    const auto before = linesOf(original);
    const auto after = linesOf(edited);
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (prefix + suffix < before.size() && prefix + suffix < after.size()
        && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::vector<std::string_view> removed(before.begin() + prefix, before.end() - suffix);
    const std::vector<std::string_view> added(after.begin() + prefix, after.end() - suffix);

    if (removed.empty() && added.empty())
        return true; // the key held that value already
    if (removed.size() == 1 && added.size() == 1)
        return onlyValueReplaced(removed[0], added[0], value);

    const std::string lineBreak(lineBreakOf(original));
    std::size_t first = 0;
    if (removed.size() == 1) {
        // A last line cut after its CR gets the LF only.
        const std::string completed = std::string(removed[0]) + (removed[0].ends_with('\r') ? "\n" : lineBreak);
        if (removed[0].ends_with('\n') || added.empty() || added[0] != completed)
            return false;
        first = 1;
    } else if (!removed.empty()) {
        return false;
    }
    const std::vector<std::string> inserted(added.begin() + static_cast<std::ptrdiff_t>(first), added.end());
    const std::string keyLine = std::string(key) + "=" + std::string(value) + lineBreak;
    const std::string sectionLine = "[" + std::string(kSection) + "]" + lineBreak;
    return inserted == std::vector<std::string> { keyLine }
    || inserted == std::vector<std::string> { sectionLine, keyLine }
    || inserted == std::vector<std::string> { lineBreak, sectionLine, keyLine };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string original(reinterpret_cast<const char*>(data), size);
    app::IniDocument document(original);
    require(document.text() == original, "parsing changes no byte");
    const auto settings = readSettings(document);

    // The input's length picks the key, its spelling and the value, so that every combination
    // meets every kind of file.
    const std::size_t which = size % kKeys.size();
    const std::string_view key = (size / 16) % 2 == 0 ? kKeys[which] : kOtherSpellings[which];
    const SavedValue& value = kValues[(size / 4) % kValues.size()];
    require(document.setValue(kSection, key, value.typed), "a plain key and value can always be stored");
    const std::string edited = document.text();
    const std::string originalText = asText(original);
    require(onlyTheKeyChanged(originalText, withoutAddedMark(originalText, asText(edited)), key, value.typed),
        "every other line keeps its text");
    require(!app::IniDocument(edited).readsUtf8() || app::IniDocument(original).readsUtf8(),
        "a file read in the code page is saved in the code page");
    require(app::IniDocument(edited).readsUtf8() || edited.find(value.stored) != std::string::npos,
        "a file in the code page holds the value in its bytes");

    app::IniDocument reloaded(edited);
    const auto settingsAfter = readSettings(reloaded);
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (i == which)
            require(settingsAfter[i] == value.readBack, "the stored value reads back");
        else
            require(settingsAfter[i] == settings[i], "the other settings keep their values");
    }

    // Saving the same value again changes nothing, so that the file need not be rewritten. (An
    // empty value, which the settings never save, may still drop the blanks its first save left
    // after '='.)
    if (!value.typed.empty())
        require(reloaded.setValue(kSection, key, value.typed) && reloaded.text() == edited, "a second save is a no-op");
    return 0;
}
