#include "hardening.h"

#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/settings.h"
#include "browse/catalogbrowser.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "fakes/fakemessagebox.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/scanner.h"
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/filesearch.h"

namespace mellowby::hardening {
namespace {

constexpr std::size_t kNameMax = 255; // bytes, as Linux file systems allow
constexpr int kMaxDepth = 6; // keeps the deepest path well inside PATH_MAX

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The name a catalog gives back for a name on disk, worked out from the well-formed UTF-8 byte
// sequences of the Unicode standard (its table 3-7), independently of the writer: every code
// point XML 1.0 can carry comes back as itself; C0 controls other than tab, LF and CR, U+FFFE,
// U+FFFF and every byte that starts no well-formed sequence come back as U+FFFD.
std::string expectedName(std::string_view raw)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(raw[i])); };
    const auto in = [&](std::size_t i, unsigned low, unsigned high) {
        return i < raw.size() && byte(i) >= low && byte(i) <= high;
    };
    std::string out;
    std::size_t i = 0;
    while (i < raw.size()) {
        const unsigned lead = byte(i);
        std::size_t length = 0;
        if (lead < 0x80)
            length = 1;
        else if (lead >= 0xC2 && lead <= 0xDF && in(i + 1, 0x80, 0xBF))
            length = 2;
        else if ((lead == 0xE0 && in(i + 1, 0xA0, 0xBF)) || (lead >= 0xE1 && lead <= 0xEC && in(i + 1, 0x80, 0xBF))
            || (lead == 0xED && in(i + 1, 0x80, 0x9F)) || (lead >= 0xEE && lead <= 0xEF && in(i + 1, 0x80, 0xBF)))
            length = in(i + 2, 0x80, 0xBF) ? 3 : 0;
        else if ((lead == 0xF0 && in(i + 1, 0x90, 0xBF)) || (lead >= 0xF1 && lead <= 0xF3 && in(i + 1, 0x80, 0xBF))
            || (lead == 0xF4 && in(i + 1, 0x80, 0x8F)))
            length = in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF) ? 4 : 0;

        const std::string_view sequence = raw.substr(i, length);
        const bool control = length == 1 && lead < 0x20 && lead != '\t' && lead != '\n' && lead != '\r';
        const bool nonCharacter = sequence == "\xEF\xBF\xBE" || sequence == "\xEF\xBF\xBF";
        if (length == 0 || control || nonCharacter)
            appendUtf8(out, 0xFFFD);
        else
            out += sequence;
        i += length == 0 ? 1 : length;
    }
    return out;
}

// Names from every corner of Unicode and beyond it, from a fixed seed.
class NameGenerator {
public:
    explicit NameGenerator(std::uint64_t seed)
        : m_random(seed)
    {
    }

    std::string next()
    {
        std::string name;
        const bool fillUp = pick(8) == 0; // some names take all 255 bytes
        const std::size_t pieces = fillUp ? 200 : 1 + pick(10);
        for (std::size_t i = 0; i < pieces; ++i) {
            std::string piece = nextPiece();
            if (name.size() + piece.size() > kNameMax)
                break;
            name += piece;
        }
        if (fillUp) {
            while (name.size() + 2 <= kNameMax)
                name += "\xC3\xA9"; // é
            if (name.size() < kNameMax)
                name += 'x';
        }
        if (name.empty() || name == "." || name == "..")
            name += "n";
        return name;
    }

    std::size_t pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(m_random); }
    std::uint32_t range(std::uint32_t low, std::uint32_t high)
    {
        return std::uniform_int_distribution<std::uint32_t>(low, high)(m_random);
    }

private:
    std::string codePoint(char32_t c)
    {
        std::string text;
        appendUtf8(text, c);
        return text;
    }

    std::string nextPiece()
    {
        // Characters that other code pages or GB2312 tables map differently, white space that is
        // not a blank, invisible and direction-changing characters, the ends of the planes.
        static constexpr char32_t kSpecial[] = { 0xFFFE, 0xFFFF, 0xFFFD, 0xFEFF, 0xFDD0, 0xFDEF, 0x200B, 0x200D, 0x202E,
            0x00A0, 0x3000, 0x00B7, 0x30FB, 0x2014, 0x2015, 0x2016, 0x2225, 0xFF5E, 0x301C, 0xFFE3, 0x203E, 0x00A5,
            0x0085, 0x2028, 0x2029, 0xE000, 0xF8FF, 0x10FFFF, 0x1D11E, 0x0130, 0x00DF, 0x1E9E, 0xFB01, 0x212A, 0x0080,
            0x009F, 0x007F, 0xFF0F, 0x2215, 0x00D7, 0x20AC, 0xA1A1, 0xE5E5 };
        // Byte sequences that are not UTF-8: stray continuation bytes, overlong forms, encoded
        // surrogates, code points past U+10FFFF, sequences cut short, bytes UTF-8 never uses.
        static constexpr std::string_view kInvalid[] = { "\x80", "\xBF", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF",
            "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xE4\xB8", "\xC3",
            "\xF0\x9F\x98", "\xFE", "\xFF", "\xF5", "\xC2\x41", "\xE4\x41\x42" };
        static constexpr std::string_view kCjk[] = { "中文", "目录", "光盘", "照片", "文件", "龍", "𠀀", "丂", "囍" };
        static constexpr std::string_view kEmoji[] = { "😀", "👨‍👩‍👧", "🇨🇳", "👍🏽", "🏳️‍🌈",
            "❤️", "\xF0\x9F\xA7\x91\xE2\x80\x8D\xF0\x9F\x92\xBB" };

        switch (pick(12)) {
        case 0: {
            const auto c = static_cast<char>(range(0x20, 0x7E));
            return std::string(1, c == '/' ? '_' : c);
        }
        case 1:
            return std::string(1, "&<>'\""[pick(5)]);
        case 2:
            return std::string(1, "\t\n\r"[pick(3)]);
        case 3: {
            auto c = static_cast<char>(range(1, 0x1F));
            return std::string(1, c);
        }
        case 4:
            return pick(2) == 0 ? std::string(kCjk[pick(std::size(kCjk))]) : codePoint(range(0x4E00, 0x9FFF));
        case 5:
            return pick(2) == 0 ? std::string(kEmoji[pick(std::size(kEmoji))]) : codePoint(range(0x1F300, 0x1FAFF));
        case 6: // a base letter with one or more combining marks
            return std::string(1, 'a') + codePoint(range(0x0300, 0x036F)) + codePoint(range(0x1DC0, 0x1DFF));
        case 7: {
            char32_t c = 0;
            do
                c = range(0x80, 0x10FFFF);
            while (c >= 0xD800 && c <= 0xDFFF);
            return codePoint(c);
        }
        case 8:
            return codePoint(kSpecial[pick(std::size(kSpecial))]);
        case 9:
            return std::string(kInvalid[pick(std::size(kInvalid))]);
        case 10:
            return std::string(1 + pick(3), ' ');
        default:
            return codePoint(range(0xA0, 0x2FFF));
        }
    }

    std::mt19937_64 m_random;
};

struct Entry {
    std::string name;
    bool directory = false;
    std::uint64_t size = 0;
    std::size_t parent = 0; // position in the entries; 0 is the scanned root
    int depth = 0;
};

// One line per entry: the names on the way down, separated by NUL (which no name holds), then
// the kind and the size as the catalog writes it.
std::string describe(const std::vector<std::string>& path, bool directory, const std::string& size)
{
    std::string text;
    for (const auto& part : path)
        text.append(part).push_back('\0');
    text += directory ? "D" : "F " + size;
    return text;
}

std::string printable(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0) {
            out += " / ";
        } else if (byte < 0x20 || byte == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

// Every entry as the catalog document holds it, walked with a loop.
std::vector<std::string> describeCatalog(const catalog::CatalogDocument& document)
{
    std::vector<std::string> lines;
    struct Level {
        pugi::xml_node element;
        std::vector<std::string> path;
    };
    std::vector<Level> pending { { document.documentElement(), {} } };
    while (!pending.empty()) {
        const Level level = std::move(pending.back());
        pending.pop_back();
        for (pugi::xml_node child = level.element.first_child(); child; child = child.next_sibling()) {
            auto path = level.path;
            if (std::string_view(child.name()) == "Directory") {
                path.emplace_back(catalog::attributeAt(child, 0).value());
                lines.push_back(describe(path, true, ""));
                pending.push_back({ child, std::move(path) });
            } else if (std::string_view(child.name()) == "File") {
                path.emplace_back(child.child_value());
                lines.push_back(describe(path, false, catalog::attributeAt(child, 1).value()));
            } else {
                lines.push_back("unexpected node " + std::string(child.name()));
            }
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// What one side holds and the other lacks, readably, for the failure message.
std::string difference(const std::vector<std::string>& expected, const std::vector<std::string>& actual)
{
    std::vector<std::string> missing;
    std::vector<std::string> extra;
    std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(), std::back_inserter(missing));
    std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    std::string text = std::to_string(missing.size()) + " missing, " + std::to_string(extra.size()) + " unexpected";
    for (std::size_t i = 0; i < missing.size() && i < 5; ++i)
        text += "\n  missing: " + printable(missing[i]);
    for (std::size_t i = 0; i < extra.size() && i < 5; ++i)
        text += "\n  unexpected: " + printable(extra[i]);
    return text;
}

std::string sizeText(std::uint64_t bytes)
{
    return std::to_string(bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0)) + "KB";
}

class NameRoundTrip : public ::testing::Test {
protected:
    // Builds a tree of count entries under the scanned root: names from the generator, unique
    // within their directory even after the writer's replacements, so that each one can be
    // found again by its name.
    void buildTree(std::size_t count)
    {
        NameGenerator names(20240611);
        m_entries.push_back({ m_root.path(), true, 0, 0, 0 });
        std::vector<std::size_t> directories { 0 };
        std::vector<std::set<std::string>> taken(1);
        std::size_t attempts = 0;
        while (m_entries.size() <= count) {
            ++attempts;
            Entry entry;
            entry.name = names.next();
            entry.directory = names.pick(6) == 0;
            entry.parent = directories[names.pick(directories.size())];
            entry.depth = m_entries[entry.parent].depth + 1;
            if (entry.directory && entry.depth > kMaxDepth)
                entry.directory = false;
            if (!taken[entry.parent].insert(expectedName(entry.name)).second)
                continue;
            static constexpr std::uint64_t kSizes[] = { 0, 1, 1023, 1024, 1025, 2048, 4096 * 1024 + 1, 5368709121 };
            entry.size = names.pick(3) == 0 ? kSizes[names.pick(std::size(kSizes))] : names.range(0, 100000);

            const std::string path = pathOf(entry.parent) + "/" + entry.name;
            if (entry.directory) {
                ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << printable(path);
                directories.push_back(m_entries.size());
                taken.emplace_back();
            } else {
                const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
                ASSERT_GE(fd, 0) << printable(path);
                ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(entry.size)), 0);
                ::close(fd);
                taken.emplace_back();
            }
            m_entries.push_back(std::move(entry));
        }
        m_namesTried = attempts;
        tally().names += attempts;
    }

    std::string pathOf(std::size_t index) const
    {
        return index == 0 ? m_entries[0].name : pathOf(m_entries[index].parent) + "/" + m_entries[index].name;
    }

    std::vector<std::string> expectedPath(std::size_t index) const
    {
        std::vector<std::string> path;
        for (std::size_t at = index; at != 0; at = m_entries[at].parent)
            path.insert(path.begin(), expectedName(m_entries[at].name));
        return path;
    }

    std::vector<std::string> expectedLines(bool withFiles) const
    {
        std::vector<std::string> lines;
        for (std::size_t i = 1; i < m_entries.size(); ++i) {
            if (m_entries[i].directory || withFiles)
                lines.push_back(describe(expectedPath(i), m_entries[i].directory, sizeText(m_entries[i].size)));
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    catalog::CatalogDocument loadTwinFile(const std::string& path)
    {
        catalog::CatalogDocument document;
        document.loadBytes(readFile(path));
        return document;
    }

    std::expected<scan::ScanResult, scan::ScanFailure> scan(const std::string& root, const std::string& name)
    {
        scan::ScanContext context { m_store, m_settings, m_lister, m_box, m_dates, nullptr };
        return scan::genXml(context, root, name);
    }

    TemporaryFolder m_root;
    TemporaryFolder m_data;
    std::vector<Entry> m_entries;
    std::size_t m_namesTried = 0;

    app::Settings m_settings;
    platform::LinuxDirectoryLister m_lister;
    platform::LinuxFileSystem m_fileSystem;
    catalog::CatalogStore m_store { m_data.path(), m_fileSystem };
    names::NamesIndexCache m_indexes { m_store, names::userCacheFolder() };
    fakes::FakeMessageBox m_box;
    catalog::DateFormatter m_dates { "zh_CN" };
};

TEST(ExpectedName, ReplacesWhatXmlCannotCarry)
{
    EXPECT_EQ(expectedName("a\tb\nc\rd&<>'\"\x7F"), "a\tb\nc\rd&<>'\"\x7F");
    EXPECT_EQ(expectedName("\x01\x1F"), "\uFFFD\uFFFD");
    EXPECT_EQ(expectedName("\xE0\x80\xAF"), "\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(expectedName("\xED\xA0\x80z"), "\uFFFD\uFFFD\uFFFDz");
    EXPECT_EQ(expectedName("\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD"), "\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(expectedName("中\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"), "中😀\U0010FFFF");
    EXPECT_EQ(expectedName("\xE4\xB8"), "\uFFFD\uFFFD");
}

// Names from all of Unicode, control characters and bytes that are no UTF-8 at all, put on disk,
// scanned by the real lister and read back: every entry comes back with its name, its size and
// its place, in the catalog proper, in its twin, in the tree, in the file list and in the search.
TEST_F(NameRoundTrip, EveryNameComesBackWithItsSizeAndPlace)
{
    buildTree(3000);
    ASSERT_FALSE(HasFatalFailure());
    // What the names on disk hold, so that no kind of name silently drops out of the test.
    std::map<std::string, std::size_t> kinds;
    for (std::size_t i = 1; i < m_entries.size(); ++i) {
        const std::string& name = m_entries[i].name;
        const auto holds = [&](std::string_view kind, bool present) { kinds[std::string(kind)] += present ? 1 : 0; };
        holds("directories", m_entries[i].directory);
        holds("255-byte", name.size() == kNameMax);
        holds("invalid UTF-8 or controls", expectedName(name) != name);
        holds("tab/LF/CR", name.find_first_of("\t\n\r") != std::string::npos);
        holds("XML specials", name.find_first_of("&<>'\"") != std::string::npos);
        holds("CJK", name.find("\xE4") != std::string::npos || name.find("\xE9") != std::string::npos);
        holds("4-byte", name.find("\xF0\x9F") != std::string::npos);
        holds("combining", name.find("\xCC") != std::string::npos || name.find("\xCD") != std::string::npos);
    }
    std::cout << "[ names    ] " << m_namesTried << " names tried, " << m_entries.size() - 1 << " on disk:";
    for (const auto& [kind, count] : kinds) {
        std::cout << " " << count << " " << kind << ",";
        EXPECT_GT(count, 20u) << kind;
    }
    std::cout << "\n";

    const auto result = scan(m_root.path(), "names");
    ASSERT_TRUE(result);
    EXPECT_TRUE(m_box.shown.empty());
    EXPECT_EQ(result->totals.files + result->totals.directories, m_entries.size());

    const catalog::CatalogDocument xml = m_store.loadCatalog(result->xmlPath.substr(result->xmlPath.rfind('/') + 1));
    ASSERT_TRUE(xml.loaded()) << xml.loadError().description;
    EXPECT_EQ(std::string(catalog::attributeAt(xml.documentElement(), 1).value()), m_root.path());
    const auto expected = expectedLines(true);
    const auto actual = describeCatalog(xml);
    EXPECT_TRUE(actual == expected) << difference(expected, actual);

    const catalog::CatalogDocument twin = loadTwinFile(result->twinPath);
    ASSERT_TRUE(twin.loaded()) << twin.loadError().description;
    const auto expectedDirectories = expectedLines(false);
    const auto actualDirectories = describeCatalog(twin);
    EXPECT_TRUE(actualDirectories == expectedDirectories) << difference(expectedDirectories, actualDirectories);

    // The program's own readers: the tree from the twin, each directory's files in the list.
    browse::CatalogBrowser browser(m_indexes, m_box);
    browser.getAllXmlToTree();
    ASSERT_EQ(browser.tree().roots().size(), 1u);
    search::FileList list;
    std::vector<std::string> listed;
    std::vector<std::pair<browse::NodeId, std::vector<std::string>>> pending { { browser.tree().roots()[0], {} } };
    while (!pending.empty()) {
        auto [node, path] = std::move(pending.back());
        pending.pop_back();
        browser.tree().select(node);
        search::FreshRightList(browser, list);
        for (std::size_t row = 0; row < list.size(); ++row) {
            auto filePath = path;
            filePath.push_back(list.cell(row, search::FileColumn::FName));
            listed.push_back(describe(filePath, false, list.cell(row, search::FileColumn::FSize)));
            std::string location = m_root.path();
            for (const auto& part : filePath)
                location += "/" + part;
            EXPECT_EQ(list.cell(row, search::FileColumn::FLocate), location);
        }
        for (const browse::NodeId child : browser.tree().children(node)) {
            auto childPath = path;
            childPath.push_back(browser.tree().label(child));
            listed.push_back(describe(childPath, true, ""));
            pending.push_back({ child, std::move(childPath) });
        }
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_TRUE(listed == expected) << difference(expected, listed);

    // The search finds files by their whole names, whatever they hold.
    std::size_t searched = 0;
    for (std::size_t i = 1; i < m_entries.size() && searched < 40; i += 37) {
        if (m_entries[i].directory)
            continue;
        ++searched;
        const std::string name = expectedName(m_entries[i].name);
        search::cmdFind_Click(m_indexes, m_box, list, name, search::SearchScope::of(browser, true));
        bool found = false;
        for (std::size_t row = 0; row < list.size(); ++row)
            found = found || list.cell(row, search::FileColumn::FName) == name;
        // Blanks around the find text are not part of it, so a name of blanks finds nothing.
        const bool blankOnly = name.find_first_not_of(' ') == std::string::npos;
        EXPECT_TRUE(found || blankOnly) << printable(name);
    }
    EXPECT_EQ(repeatedBoxes(m_box.shown), std::vector<std::string> {});
}

// The catalog's own name goes into the Disk title the same way.
TEST_F(NameRoundTrip, CatalogNamesComeBackAsTitles)
{
    ASSERT_EQ(::mkdir((m_root / "d").c_str(), 0755), 0);
    writeFile(m_root / "d/f", "x");
    NameGenerator names(7);
    for (int i = 0; i < 40; ++i) {
        const std::string name = names.next();
        ++m_namesTried;
        ++tally().names;
        m_box.shown.clear();
        const auto result = scan(m_root.path(), name);
        if (name.size() + 4 > kNameMax) {
            // "<name>.xml" is too long for the file system: refused with the writer's box.
            EXPECT_EQ(result.error(), scan::ScanFailure::Failed);
            ASSERT_EQ(m_box.shown.size(), 1u);
            EXPECT_EQ(m_box.shown[0].text, "生成XML文件出错！(错误代号:36)\r\n错误描述：File name too long");
            EXPECT_EQ(m_box.shown[0].title, "frmMain-genXml");
            EXPECT_EQ(folderNames(m_data.path()), std::vector<std::string> {});
            continue;
        }
        ASSERT_TRUE(result) << printable(name);
        EXPECT_TRUE(m_box.shown.empty());
        const catalog::CatalogDocument xml
            = m_store.loadCatalog(result->xmlPath.substr(result->xmlPath.rfind('/') + 1));
        ASSERT_TRUE(xml.loaded()) << printable(name);
        EXPECT_EQ(std::string(catalog::attributeAt(xml.documentElement(), 0).value()), expectedName(name))
            << printable(name);
        std::filesystem::remove(result->xmlPath);
        std::filesystem::remove(result->twinPath);
        std::filesystem::remove(result->databasePath);
    }
    std::cout << "[ names    ] " << m_namesTried << " catalog names tried\n";
}

} // namespace
} // namespace mellowby::hardening
