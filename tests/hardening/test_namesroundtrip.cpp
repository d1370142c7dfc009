#include "hardening.h"
#include "hostilenames.h"

#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
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

constexpr int kMaxDepth = 6; // keeps the deepest path well inside PATH_MAX

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
    }
    std::cout << "[ names    ] " << m_namesTried << " catalog names tried\n";
}

} // namespace
} // namespace mellowby::hardening
