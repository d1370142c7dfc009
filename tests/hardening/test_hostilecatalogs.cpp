#include "hardening.h"

#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <random>

#include <sys/stat.h>

#include "browse/catalogbrowser.h"
#include "catalog/catalogstore.h"
#include "fakes/fakemessagebox.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/filesearch.h"
#include "support/catalogmaker.h"
#include "support/gb2312testtexts.h"

namespace mellowby::hardening {
namespace {

using search::FileColumn;
using tests::CatalogMaker;
using Names = std::vector<std::string>;

constexpr std::string_view kDeclaration = R"(<?xml version ="1.0" encoding ="GB2312" standalone="yes" ?>)";
constexpr const char* kDate = "2004年3月15日";

// The messages of the error boxes that loading, listing and searching may show, by title.
const std::map<std::string, std::string> kErrorBoxes {
    { "frmMain-ShowXml", "显示XML文件时出错！" },
    { "frmMain-AddNode", "添加XML内容到树时出错！" },
    { "frmMain-FreshRightList", "刷新右侧列表时出错！" },
    { "frmMain-getAllXmlNodeByName", "取得XML节点时出错！" },
    { "frmMain-getXmlParentNode", "取出XML文件节点上级节点名称时出错！" },
    { "frmMain-cmdFind_Click", "查找指定文件进出错！" },
    { "frmMain-findFileInXml", "查找文件时出错！" },
};

// Lines of a catalog as the writer ends them.
std::string crlf(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (const auto line : lines)
        text.append(line).append("\r\n");
    return text;
}

std::string fileLine(std::string_view name, std::string_view size = "1KB", std::string_view date = kDate)
{
    return "<File CreateDate=\"" + std::string(date) + "\" FileSize=\"" + std::string(size) + "\">" + std::string(name)
        + "</File>";
}

std::string directoryLine(std::string_view title)
{
    return "<Directory title=\"" + std::string(title) + "\" CreateDate=\"" + kDate + "\">";
}

class HostileCatalogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        CatalogMaker maker(m_data.path());
        maker.directory("", { CatalogMaker::file("readme.txt", 1500), CatalogMaker::dir("docs") });
        maker.directory("docs", { CatalogMaker::file("好文件.txt", 2048), CatalogMaker::file("a&b.txt", 1) });
        ASSERT_TRUE(maker.write("good"));
    }

    // A pair written byte for byte; GB2312 text is given as UTF-8 and converted here.
    void writePair(const std::string& stem, const std::string& xml, const std::string& idx, bool toGb2312 = true)
    {
        writeFile(m_data / (stem + ".xml"), toGb2312 ? tests::toGb2312(xml) : xml);
        writeFile(m_data / (stem + ".idx"), toGb2312 ? tests::toGb2312(idx) : idx);
        ++tally().catalogs;
    }

    // The start of the program: every catalog of Data into the tree, the first node listed.
    void startUp()
    {
        m_browser = std::make_unique<browse::CatalogBrowser>(m_indexes, m_box);
        m_list = std::make_unique<search::FileList>();
        // Each catalog is a fill of its own, so the same box may come once per catalog here.
        fill(
            [this] {
                m_browser->getAllXmlToTree();
                search::FreshRightList(*m_browser, *m_list);
            },
            false);
    }

    browse::NodeId root(const std::string& label) const
    {
        for (const browse::NodeId node : m_browser->tree().roots()) {
            if (m_browser->tree().label(node) == label)
                return node;
        }
        ADD_FAILURE() << "no catalog labelled " << label;
        return browse::kNoNode;
    }

    // The node reached from a root by child positions.
    browse::NodeId child(browse::NodeId from, const std::vector<std::size_t>& path) const
    {
        for (const std::size_t position : path)
            from = m_browser->tree().children(from).at(position);
        return from;
    }

    Names listNode(browse::NodeId node)
    {
        fill([&] {
            m_browser->tree().select(node);
            search::FreshRightList(*m_browser, *m_list);
        });
        return column(FileColumn::FName);
    }

    Names findAll(const std::string& text)
    {
        fill(
            [&] { search::cmdFind_Click(m_indexes, m_box, *m_list, text, search::SearchScope::of(*m_browser, true)); });
        return column(FileColumn::FName);
    }

    Names column(FileColumn which) const
    {
        Names cells;
        for (std::size_t i = 0; i < m_list->size(); ++i)
            cells.push_back(m_list->cell(i, which));
        return cells;
    }

    // One fill of the tree or the list: the boxes it shows are the program's own, each at most once.
    template <typename Action> void fill(Action action, bool oneFill = true)
    {
        const std::size_t before = m_box.shown.size();
        action();
        const std::vector<platform::MessageRequest> shown(
            m_box.shown.begin() + static_cast<std::ptrdiff_t>(before), m_box.shown.end());
        if (oneFill) {
            EXPECT_EQ(repeatedBoxes(shown), Names {});
        }
        for (const auto& box : shown) {
            const auto message = kErrorBoxes.find(box.title);
            ASSERT_NE(message, kErrorBoxes.end()) << box.title << ": " << box.text;
            EXPECT_TRUE(box.text.starts_with(message->second)) << box.title << ": " << box.text;
            EXPECT_EQ(box.icon, platform::MessageIcon::Warning);
            EXPECT_EQ(box.buttons, platform::MessageButtons::Ok);
        }
        m_lastFill = shown;
    }

    Names lastTitles() const
    {
        Names titles;
        for (const auto& box : m_lastFill)
            titles.push_back(box.title);
        return titles;
    }

    // The good catalog beside the hostile ones still loads, lists and searches as it should.
    void expectGoodCatalogUnaffected()
    {
        const browse::NodeId good = root("good");
        ASSERT_NE(good, browse::kNoNode);
        EXPECT_EQ(listNode(good), Names { "readme.txt" });
        EXPECT_TRUE(m_lastFill.empty());
        ASSERT_EQ(m_browser->tree().children(good).size(), 1u);
        EXPECT_EQ(listNode(child(good, { 0 })), (Names { "好文件.txt", "a&b.txt" }));
        EXPECT_EQ(m_list->row(0), (search::FileRow { "好文件.txt", "2KB", kDate, "/media/cdrom/docs/好文件.txt", "" }));
        EXPECT_EQ(m_browser->currentCatalogName(), "good");
        fill([&] {
            search::cmdFind_Click(m_indexes, m_box, *m_list, "好文件", search::SearchScope::of(*m_browser, true));
        });
        ASSERT_EQ(m_list->size(), 1u);
        EXPECT_EQ(
            m_list->row(0), (search::FileRow { "好文件.txt", "2KB", kDate, "/media/cdrom/docs/好文件.txt", "good" }));
    }

    TemporaryFolder m_data;
    platform::LinuxFileSystem m_fileSystem;
    catalog::CatalogStore m_store { m_data.path(), m_fileSystem };
    names::NamesIndexCache m_indexes { m_store, names::userCacheFolder() };
    fakes::FakeMessageBox m_box;
    std::unique_ptr<browse::CatalogBrowser> m_browser;
    std::unique_ptr<search::FileList> m_list;
    std::vector<platform::MessageRequest> m_lastFill;
};

// No file system nests 100,000 directories, but a catalog file can: nothing that reads one may
// follow the nesting on the call stack.
TEST_F(HostileCatalogs, NestedAHundredThousandDirectoriesDeep)
{
    constexpr std::size_t kDepth = 100000;
    std::string xml = crlf({ kDeclaration, R"(<Disk title="deep" Label="/m">)", fileLine("top.txt") });
    std::string idx = crlf({ kDeclaration, R"(<Disk title="deep" Label="/m">)" });
    for (std::size_t level = 1; level <= kDepth; ++level) {
        const std::string opening = directoryLine("d") + "\r\n";
        xml += opening;
        idx += opening;
        if (level % 10000 == 0)
            xml += fileLine("level" + std::to_string(level) + ".txt") + "\r\n";
    }
    xml += fileLine("bottom.txt") + "\r\n";
    for (std::size_t level = 0; level < kDepth; ++level) {
        xml += "</Directory>\r\n";
        idx += "</Directory>\r\n";
    }
    xml += "</Disk>\r\n";
    idx += "</Disk>\r\n";
    writePair("deep", xml, idx);

    const auto start = std::chrono::steady_clock::now();
    startUp();
    EXPECT_TRUE(m_lastFill.empty());
    browse::NodeId node = root("deep");
    std::size_t depth = 0;
    browse::NodeId middle = browse::kNoNode;
    while (!m_browser->tree().children(node).empty()) {
        node = m_browser->tree().children(node)[0];
        if (++depth == kDepth / 2)
            middle = node;
    }
    EXPECT_EQ(depth, kDepth);

    std::string bottomFolder = "/m";
    for (std::size_t level = 0; level < kDepth; ++level)
        bottomFolder += "/d";
    EXPECT_EQ(listNode(node), (Names { "level100000.txt", "bottom.txt" }));
    EXPECT_EQ(m_list->cell(1, FileColumn::FLocate), bottomFolder + "/bottom.txt");
    EXPECT_EQ(listNode(middle), Names { "level50000.txt" });
    EXPECT_EQ(m_list->cell(0, FileColumn::FLocate).size(), 2 + 2 * kDepth / 2 + 15);
    EXPECT_EQ(listNode(root("deep")), Names { "top.txt" });

    const Names hits = findAll("txt");
    EXPECT_EQ(hits.size(), 3 + kDepth / 10000 + 2); // deep's twelve, good's three
    EXPECT_EQ(hits.at(11), "bottom.txt");
    EXPECT_EQ(m_list->cell(11, FileColumn::FLocate), bottomFolder + "/bottom.txt");
    EXPECT_TRUE(m_lastFill.empty());
    expectGoodCatalogUnaffected();
    std::cout << "[ timing   ] 100,000 levels: loaded, listed and searched in " << secondsSince(start) << " s\n";
}

// The same depth with a file at every level: the locations of all of them together would fill
// ten gigabytes. Listing any one directory stays quick; a search that would find them all stops
// with one box once their locations fill 256 MB, and finds deep files one by one.
TEST_F(HostileCatalogs, AHundredThousandLevelsWithAFileAtEach)
{
    constexpr std::size_t kDepth = 100000;
    std::string xml = crlf({ kDeclaration, R"(<Disk title="deepfiles" Label="/m">)" });
    std::string idx = xml;
    for (std::size_t level = 1; level <= kDepth; ++level) {
        xml += directoryLine("d") + "\r\n" + fileLine("f" + std::to_string(level)) + "\r\n";
        idx += directoryLine("d") + "\r\n";
    }
    for (std::size_t level = 0; level < kDepth; ++level) {
        xml += "</Directory>\r\n";
        idx += "</Directory>\r\n";
    }
    xml += "</Disk>\r\n";
    idx += "</Disk>\r\n";
    writePair("deepfiles", xml, idx);

    const auto start = std::chrono::steady_clock::now();
    startUp();
    browse::NodeId node = root("deepfiles");
    while (!m_browser->tree().children(node).empty())
        node = m_browser->tree().children(node)[0];
    EXPECT_EQ(listNode(node), Names { "f100000" });
    EXPECT_EQ(m_list->cell(0, FileColumn::FLocate).size(), 2 + 2 * kDepth + 8);

    const auto searchStart = std::chrono::steady_clock::now();
    const std::size_t found = findAll("f").size();
    const double searching = secondsSince(searchStart);
    EXPECT_GT(found, 10000u);
    EXPECT_LT(found, kDepth);
    ASSERT_EQ(m_lastFill.size(), 1u);
    EXPECT_EQ(m_lastFill[0].text, "查找文件时出错！\r\n错误描述：找到的文件位置总长超过 256 MB，其余的文件没有列出。");
    EXPECT_EQ(m_lastFill[0].title, "frmMain-findFileInXml");
    EXPECT_EQ(m_list->cell(found - 1, FileColumn::FLocate).size(), 2 + 2 * found + 2 + std::to_string(found).size());

    EXPECT_EQ(findAll("f99999"), Names { "f99999" });
    EXPECT_EQ(m_list->cell(0, FileColumn::FLocate).size(), 2 + 2 * 99999 + 7);
    EXPECT_TRUE(m_lastFill.empty());
    expectGoodCatalogUnaffected();
    std::cout << "[ timing   ] 100,000 levels with a file at each: searched in " << searching << " s, all in "
              << secondsSince(start) << " s\n";
    EXPECT_LT(searching, 30.0);
}

// A directory of a million files: listing, searching and sorting it must stay linear.
TEST_F(HostileCatalogs, AMillionFilesInOneDirectory)
{
    const std::size_t count = scaled(1000000, 200000);
    const std::string date = tests::toGb2312(kDate);
    std::string xml = crlf({ kDeclaration, R"(<Disk title="wide" Label="/m">)", directoryLine("big") });
    xml.reserve(count * 80);
    char name[32];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "file%07zu.dat", count - 1 - i);
        xml.append("<File CreateDate=\"").append(date).append("\" FileSize=\"");
        xml.append(std::to_string(i % 5000)).append("KB\">").append(name).append("</File>\r\n");
    }
    xml += crlf({ "</Directory>", "</Disk>" });
    writePair("wide", xml,
        crlf({ kDeclaration, R"(<Disk title="wide" Label="/m">)", directoryLine("big"), "</Directory>", "</Disk>" }),
        false);
    xml = std::string();

    startUp();
    const auto listStart = std::chrono::steady_clock::now();
    EXPECT_EQ(listNode(child(root("wide"), { 0 })).size(), count);
    const double listing = secondsSince(listStart);
    EXPECT_EQ(m_list->row(count - 1),
        (search::FileRow {
            "file0000000.dat", std::to_string((count - 1) % 5000) + "KB", kDate, "/m/big/file0000000.dat", "" }));

    const auto sortStart = std::chrono::steady_clock::now();
    m_list->columnClick(1);
    const double sorting = secondsSince(sortStart);
    EXPECT_EQ(m_list->cell(0, FileColumn::FName), "file0000000.dat");
    std::snprintf(name, sizeof name, "file%07zu.dat", count - 1);
    EXPECT_EQ(m_list->cell(count - 1, FileColumn::FLocate), "/m/big/" + std::string(name));

    const auto searchStart = std::chrono::steady_clock::now();
    EXPECT_EQ(findAll("FILE0").size(), count);
    const double searching = secondsSince(searchStart);
    EXPECT_EQ(findAll("file0000001").size(), 1u);
    EXPECT_EQ(m_list->row(0),
        (search::FileRow {
            "file0000001.dat", std::to_string((count - 2) % 5000) + "KB", kDate, "/m/big/file0000001.dat", "wide" }));
    EXPECT_TRUE(findAll("zzz").empty());
    m_list = std::make_unique<search::FileList>(); // unsorted again, as the good catalog expects
    expectGoodCatalogUnaffected();
    std::cout << "[ timing   ] " << count << " files in one directory: listed in " << listing << " s, sorted in "
              << sorting << " s, searched in " << searching << " s\n";
    // Generous bounds: only work that grows faster than the rows could exceed them.
    EXPECT_LT(listing, 30.0);
    EXPECT_LT(sorting, 30.0);
    EXPECT_LT(searching, 30.0);
}

// A catalog cut at every sixteenth of its length, both files or the catalog proper alone, as a
// scan that stopped early or a damaged disk leaves it.
TEST_F(HostileCatalogs, TruncatedAtEverySixteenth)
{
    TemporaryFolder source;
    CatalogMaker maker(source.path());
    maker.directory("", { CatalogMaker::file("根.txt"), CatalogMaker::dir("目录 1"), CatalogMaker::file("b.txt") });
    maker.directory("目录 1", { CatalogMaker::file("c&d.txt"), CatalogMaker::dir("深"), CatalogMaker::file("e.txt") });
    maker.directory("目录 1/深", { CatalogMaker::file("f.txt", 5000) });
    ASSERT_TRUE(maker.write("SOURCE"));
    const std::string xml = readFile(source / "SOURCE.xml");
    const std::string idx = readFile(source / "SOURCE.idx");
    const auto named
        = [](std::string text, const std::string& stem) { return text.replace(text.find("SOURCE"), 6, stem); };
    for (std::size_t sixteenth = 0; sixteenth < 16; ++sixteenth) {
        const std::string both = "both" + std::to_string(sixteenth);
        const std::string proper = "proper" + std::to_string(sixteenth);
        const std::string xmlOf = named(xml, both);
        const std::string idxOf = named(idx, both);
        writePair(both, xmlOf.substr(0, xmlOf.size() * sixteenth / 16), idxOf.substr(0, idxOf.size() * sixteenth / 16),
            false);
        const std::string properXml = named(xml, proper);
        writePair(proper, properXml.substr(0, properXml.size() * sixteenth / 16), named(idx, proper), false);
    }

    startUp();
    // A twin that does not parse: its catalog is not shown, and the box says which file it is.
    EXPECT_EQ(m_browser->tree().roots().size(), 1u + 16u);
    ASSERT_EQ(m_lastFill.size(), 16u);
    EXPECT_EQ(lastTitles(), Names(16, "frmMain-ShowXml"));
    for (std::size_t sixteenth = 0; sixteenth < 16; ++sixteenth) {
        const std::string twin = m_data / ("both" + std::to_string(sixteenth) + ".idx");
        EXPECT_EQ(std::count_if(m_lastFill.begin(), m_lastFill.end(),
                      [&](const auto& box) { return box.text.find(twin + "：") != std::string::npos; }),
            1)
            << twin;
    }
    // A catalog proper that does not parse lists and finds nothing, and says nothing.
    for (std::size_t sixteenth = 0; sixteenth < 16; ++sixteenth) {
        const browse::NodeId top = root("proper" + std::to_string(sixteenth));
        for (const browse::NodeId node : { top, child(top, { 0 }), child(top, { 0, 0 }) }) {
            m_list->appendRow("old", "", "", "", "");
            EXPECT_EQ(listNode(node), Names {});
            EXPECT_TRUE(m_lastFill.empty());
        }
    }
    EXPECT_EQ(findAll(".txt"), (Names { "readme.txt", "好文件.txt", "a&b.txt" }));
    EXPECT_TRUE(m_lastFill.empty());
    expectGoodCatalogUnaffected();
}

TEST_F(HostileCatalogs, AttributesMissingOrOutOfOrder)
{
    // Disk without Label, Directory elements without title or without any attribute.
    writePair("nolabel",
        crlf({ kDeclaration, R"(<Disk title="nolabel">)", fileLine("x.txt"), fileLine("y.txt"), "<Directory>",
            R"(<Directory title="inner" CreateDate="d">)", "</Directory>",
            R"(<Directory title="inner2" CreateDate="d">)", "</Directory>", fileLine("z.txt"), "</Directory>",
            "<Directory>", fileLine("lost.txt"), "</Directory>", R"(<Directory CreateDate="dateonly">)",
            fileLine("w.txt"), "</Directory>", "</Disk>" }),
        crlf({ kDeclaration, R"(<Disk title="nolabel">)", "<Directory>", R"(<Directory title="inner" CreateDate="d">)",
            "</Directory>", R"(<Directory title="inner2" CreateDate="d">)", "</Directory>", "</Directory>",
            "<Directory>", "</Directory>", R"(<Directory CreateDate="dateonly">)", "</Directory>", "</Disk>" }));
    // File elements without CreateDate, FileSize or both.
    writePair("noattrs",
        crlf({ kDeclaration, R"(<Disk title="noattrs" Label="/n">)", fileLine("first.txt"),
            R"(<File FileSize="1KB">nodate.txt</File>)", fileLine("never.txt"), directoryLine("sub"),
            "<File>bare.txt</File>", "</Directory>", "</Disk>" }),
        crlf(
            { kDeclaration, R"(<Disk title="noattrs" Label="/n">)", directoryLine("sub"), "</Directory>", "</Disk>" }));
    // Every attribute in the other order.
    writePair("swapped",
        crlf({ kDeclaration, R"(<Disk Label="/s" title="swapped">)",
            R"(<File FileSize="2KB" CreateDate="day">a.txt</File>)", R"(<Directory CreateDate="day" title="dir">)",
            R"(<File FileSize="3KB" CreateDate="day">b.txt</File>)", "</Directory>", "</Disk>" }),
        crlf({ kDeclaration, R"(<Disk Label="/s" title="swapped">)", R"(<Directory CreateDate="day" title="dir">)",
            "</Directory>", "</Disk>" }));
    // A hundred thousand faulty elements: one box per fill says it, not one per element.
    std::string faulty = crlf({ kDeclaration, R"(<Disk title="faulty" Label="/f">)" });
    std::string faultyXml = faulty;
    for (int i = 0; i < 100000; ++i) {
        faulty += "<Directory/>\r\n";
        faultyXml += "<Directory/>\r\n" + fileLine("f" + std::to_string(i), "", "") + "\r\n";
        faultyXml += R"(<File CreateDate="d">)" + std::to_string(i) + "</File>\r\n";
    }
    writePair("faulty", faultyXml + "</Disk>\r\n", faulty + "</Disk>\r\n");

    startUp();
    // One box for each catalog with faulty elements, one for the first listing (of faulty).
    EXPECT_EQ(lastTitles(), (Names { "frmMain-AddNode", "frmMain-AddNode", "frmMain-getAllXmlNodeByName" }));
    const browse::NodeId noLabel = root("nolabel");
    const auto& tree = m_browser->tree();
    ASSERT_EQ(tree.children(noLabel).size(), 3u);
    EXPECT_EQ(tree.label(child(noLabel, { 0 })), "Directory"); // two children and no attribute
    EXPECT_EQ(tree.label(child(noLabel, { 2 })), "dateonly");
    EXPECT_EQ(tree.children(root("faulty")).size(), 100000u);

    EXPECT_EQ(listNode(noLabel), (Names { "x.txt", "y.txt" }));
    EXPECT_EQ(column(FileColumn::FLocate), (Names { "/x.txt", "/y.txt" }));
    EXPECT_EQ(lastTitles(), Names { "frmMain-getXmlParentNode" });
    // Labelled by its element name, which no title matches.
    EXPECT_EQ(listNode(child(noLabel, { 0 })), Names {});
    EXPECT_TRUE(m_lastFill.empty());
    listNode(child(noLabel, { 2 }));

    EXPECT_EQ(listNode(root("noattrs")), (Names { "first.txt", "nodate.txt" }));
    EXPECT_EQ(m_list->row(1), (search::FileRow { "nodate.txt", "", "", "", "" }));
    EXPECT_EQ(lastTitles(), Names { "frmMain-getAllXmlNodeByName" });
    EXPECT_EQ(listNode(child(root("noattrs"), { 0 })), Names { "bare.txt" });

    // The first attribute of the Disk is its label and names the catalog file: there is none.
    EXPECT_EQ(listNode(root("/s")), Names {});
    EXPECT_TRUE(m_lastFill.empty());
    EXPECT_EQ(listNode(child(root("/s"), { 0 })), Names {});
    EXPECT_EQ(listNode(root("faulty")), (Names { "f0", "0" }));
    EXPECT_EQ(m_list->row(0), (search::FileRow { "f0", "", "", "/f/f0", "" }));

    findAll(".txt");
    EXPECT_EQ(column(FileColumn::FXml),
        (Names { "good", "good", "good", "noattrs", "", "nolabel", "nolabel", "nolabel", "nolabel", "nolabel",
            "swapped", "swapped" }));
    EXPECT_EQ(lastTitles(), (Names { "frmMain-findFileInXml", "frmMain-getXmlParentNode" }));
    EXPECT_EQ(m_list->row(10), (search::FileRow { "a.txt", "day", "2KB", "swapped/a.txt", "swapped" }));
    EXPECT_EQ(m_list->row(11), (search::FileRow { "b.txt", "day", "3KB", "swapped/day/b.txt", "swapped" }));
    findAll("1");
    EXPECT_EQ(lastTitles(), Names { "frmMain-findFileInXml" });
    expectGoodCatalogUnaffected();
}

TEST_F(HostileCatalogs, FilesThatAreNoCatalogs)
{
    std::mt19937 random(99);
    std::string noise(64 * 1024, '\0');
    for (auto& byte : noise)
        byte = static_cast<char>(random());
    writePair("noise", noise, noise, false);
    writePair("empty", "", "", false);
    writePair("text", "just some text\r\n", "just some text\r\n", false);
    writePair("html", "<html><body><File>a.txt</File></body></html>", "<html><body></body></html>", false);
    writePair("utf16", std::string("\xFF\xFE<\0D\0i\0s\0k\0", 12), std::string("\xFF\xFE<\0D\0i\0s\0k\0", 12), false);
    writePair("unknown-encoding",
        crlf({ R"(<?xml version="1.0" encoding="KOI8-R"?>)", R"(<Disk title="unknown-encoding" Label="/u"/>)" }),
        crlf({ R"(<?xml version="1.0" encoding="KOI8-R"?>)", R"(<Disk title="unknown-encoding" Label="/u"/>)" }),
        false);
    // Entities that would expand to gigabytes are never expanded.
    std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE Disk [<!ENTITY a \"aaaaaaaaaa\">";
    for (char level = 'b'; level <= 'j'; ++level) {
        bomb += "<!ENTITY " + std::string(1, level) + " \"";
        for (int i = 0; i < 10; ++i)
            bomb += "&" + std::string(1, static_cast<char>(level - 1)) + ";";
        bomb += "\">";
    }
    bomb += "]>\n<Disk title=\"bomb\" Label=\"/b\"><File CreateDate=\"d\" FileSize=\"1KB\">&j;</File></Disk>";
    writePair("bomb", bomb, bomb, false);
    // A NUL inside a name ends the text the parser sees.
    writePair("nul",
        std::string("<Disk title=\"nul\" Label=\"/z\"><File CreateDate=\"d\" FileSize=\"1KB\">a\0b</File></Disk>", 80),
        "<Disk title=\"nul\" Label=\"/z\"></Disk>", false);

    startUp();
    Names loaded;
    for (const browse::NodeId node : m_browser->tree().roots())
        loaded.push_back(m_browser->tree().label(node));
    EXPECT_EQ(loaded, (Names { "bomb", "good", "", "nul" })); // html's root has no attribute
    // empty, html, noise, text, unknown-encoding, utf16
    EXPECT_EQ(lastTitles(),
        (Names { "frmMain-ShowXml", "frmMain-AddNode", "frmMain-ShowXml", "frmMain-ShowXml", "frmMain-ShowXml",
            "frmMain-ShowXml" }));
    EXPECT_EQ(listNode(root("bomb")), Names { "&j;" });
    for (const browse::NodeId node : m_browser->tree().roots())
        listNode(node);
    // html's File has no attributes: its row holds the name alone, and the search of it ends.
    EXPECT_EQ(findAll("a"), (Names { "readme.txt", "a&b.txt", "a.txt" }));
    EXPECT_EQ(column(FileColumn::FXml), (Names { "good", "good", "" }));
    EXPECT_EQ(lastTitles(), Names { "frmMain-findFileInXml" });
    expectGoodCatalogUnaffected();
}

TEST_F(HostileCatalogs, InvalidBytesInUtf8AndGb2312)
{
    // Declared UTF-8 but holding bytes that are not: kept as they are, never a crash.
    const std::string utf8Names[] = { "bad\xFF.txt", "over\xC0\x80long.txt", "sur\xED\xA0\x80rogate.txt", "cut\xE4\xB8",
        "\xF8\x88\x80\x80\x80"
        "five",
        "\xC3" };
    std::string xml = crlf({ R"(<?xml version="1.0" encoding="UTF-8"?>)", R"(<Disk title="utf8" Label="/u">)",
        "<Directory title=\"d\xFF\xFE\" CreateDate=\"d\">" });
    for (const auto& name : utf8Names)
        xml += fileLine(name) + "\r\n";
    xml += crlf({ "</Directory>", "</Disk>" });
    writePair("utf8", xml,
        crlf({ R"(<?xml version="1.0" encoding="UTF-8"?>)", R"(<Disk title="utf8" Label="/u">)",
            "<Directory title=\"d\xFF\xFE\" CreateDate=\"d\">", "</Directory>", "</Disk>" }),
        false);

    // Declared GB2312 with sequences it does not define: each becomes U+FFFD, and no quote or
    // angle bracket after a stray lead byte is swallowed with it.
    const std::string gb = crlf({ std::string(kDeclaration), R"(<Disk title="gb" Label="/g">)",
        "<Directory title=\"\xD6\xD0\xB0\" CreateDate=\"d\">",
        "<File CreateDate=\"d\" FileSize=\"1KB\">\xFF\xFFx.txt</File>",
        "<File CreateDate=\"d\" FileSize=\"1KB\">\xD6\xD0\xCE\xC4\xD6</File>",
        "<File CreateDate=\"\xB0\" FileSize=\"1KB\">\xFF\xA1\xA1y.txt</File>", "</Directory>", "</Disk>" });
    writePair("gb", gb,
        crlf({ std::string(kDeclaration), R"(<Disk title="gb" Label="/g">)",
            "<Directory title=\"\xD6\xD0\xB0\" CreateDate=\"d\">", "</Directory>", "</Disk>" }),
        false);

    startUp();
    EXPECT_TRUE(m_lastFill.empty());
    EXPECT_EQ(m_browser->tree().label(child(root("utf8"), { 0 })), "d\xFF\xFE");
    EXPECT_EQ(listNode(child(root("utf8"), { 0 })), Names(std::begin(utf8Names), std::end(utf8Names)));
    EXPECT_EQ(m_list->cell(0, FileColumn::FLocate), "/u/d\xFF\xFE/bad\xFF.txt");
    for (std::size_t column = 1; column <= search::kFileColumnCount; ++column)
        m_list->columnClick(column);
    m_list = std::make_unique<search::FileList>();
    EXPECT_EQ(findAll("\xFF").size(), 1u);
    EXPECT_EQ(findAll("LONG").size(), 1u);

    EXPECT_EQ(m_browser->tree().label(child(root("gb"), { 0 })), "中\uFFFD");
    EXPECT_EQ(listNode(child(root("gb"), { 0 })), (Names { "\uFFFD\uFFFDx.txt", "中文\uFFFD", "\uFFFD\u3000y.txt" }));
    EXPECT_EQ(m_list->cell(2, FileColumn::FDate), "\uFFFD");
    EXPECT_EQ(findAll("y.TXT"), Names { "\uFFFD\u3000y.txt" });
    EXPECT_EQ(m_list->cell(0, FileColumn::FLocate), "/g/中\uFFFD/\uFFFD\u3000y.txt");
    EXPECT_TRUE(m_lastFill.empty());
    expectGoodCatalogUnaffected();
}

// The tree comes from the twin, the files from the catalog proper; when the two disagree, a node
// without a counterpart lists nothing, and every node with one lists its own files.
TEST_F(HostileCatalogs, TwinThatDisagreesWithItsCatalog)
{
    writePair("twin",
        crlf({ kDeclaration, R"(<Disk title="twin" Label="/t">)", fileLine("root.txt"), directoryLine("A"),
            fileLine("a.txt"), "</Directory>", directoryLine("B"), directoryLine("C"), fileLine("c.txt"),
            "</Directory>", "</Directory>", directoryLine("same"), fileLine("s1.txt"), "</Directory>",
            directoryLine("same"), fileLine("s2.txt"), "</Directory>", directoryLine("onlyxml"), fileLine("o.txt"),
            "</Directory>", "</Disk>" }),
        crlf({ kDeclaration, R"(<Disk title="twin" Label="/t">)", directoryLine("X"), "</Directory>",
            directoryLine("A"), "</Directory>", directoryLine("B"), directoryLine("D"), "</Directory>",
            directoryLine("C"), "</Directory>", "</Directory>", directoryLine("same"), "</Directory>",
            directoryLine("same"), "</Directory>", directoryLine("same"), "</Directory>", directoryLine("a"),
            "</Directory>", directoryLine("B"), directoryLine("C"), "</Directory>", "</Directory>", "</Disk>" }));
    // A twin whose directories nest where the catalog's do not.
    writePair("shifted",
        crlf({ kDeclaration, R"(<Disk title="shifted" Label="/s">)", directoryLine("p"), fileLine("p.txt"),
            "</Directory>", directoryLine("q"), fileLine("q.txt"), "</Directory>", "</Disk>" }),
        crlf({ kDeclaration, R"(<Disk title="shifted" Label="/s">)", directoryLine("q"), directoryLine("p"),
            "</Directory>", "</Directory>", "</Disk>" }));

    startUp();
    const browse::NodeId twin = root("twin");
    const auto& tree = m_browser->tree();
    ASSERT_EQ(tree.children(twin).size(), 8u);
    EXPECT_EQ(listNode(twin), Names { "root.txt" });
    const std::vector<std::pair<std::vector<std::size_t>, Names>> expected {
        { { 0 }, {} }, // X: only in the twin
        { { 1 }, { "a.txt" } },
        { { 2 }, {} }, // B itself holds no files
        { { 2, 0 }, {} }, // D: only in the twin
        { { 2, 1 }, { "c.txt" } },
        { { 3 }, { "s1.txt" } },
        { { 4 }, { "s2.txt" } },
        { { 5 }, {} }, // a third "same" that the catalog lacks
        { { 6 }, {} }, // "a" is not "A"
        { { 7 }, {} }, // a second "B"
        { { 7, 0 }, {} },
    };
    for (const auto& [path, names] : expected) {
        m_list->appendRow("old", "", "", "", "");
        EXPECT_EQ(listNode(child(twin, path)), names);
        EXPECT_TRUE(m_lastFill.empty());
    }
    EXPECT_EQ(listNode(child(root("shifted"), { 0 })), Names { "q.txt" });
    EXPECT_EQ(listNode(child(root("shifted"), { 0, 0 })), Names {});
    // The search reads the catalog proper: files under directories the twin lacks are found.
    EXPECT_EQ(findAll("o.txt"), Names { "o.txt" });
    EXPECT_EQ(m_list->cell(0, FileColumn::FLocate), "/t/onlyxml/o.txt");
    EXPECT_TRUE(m_lastFill.empty());
    expectGoodCatalogUnaffected();
}

// Data may hold things that are no files at all under a catalog's name: a FIFO would block a
// reader for ever, a device would never end. Each lists nothing and finds nothing, promptly.
TEST_F(HostileCatalogs, FifosDevicesAndLinksInData)
{
    const auto twin = [](const std::string& stem) {
        return crlf({ kDeclaration, "<Disk title=\"" + stem + "\" Label=\"/x\">", "</Disk>" });
    };
    ASSERT_EQ(::mkfifo((m_data / "fifo.xml").c_str(), 0644), 0);
    writeFile(m_data / "fifo.idx", twin("fifo"));
    writeFile(
        m_data / "pipe.xml", crlf({ kDeclaration, R"(<Disk title="pipe" Label="/x">)", fileLine("p"), "</Disk>" }));
    ASSERT_EQ(::mkfifo((m_data / "pipe.idx").c_str(), 0644), 0);
    std::filesystem::create_directory(m_data / "folder.xml");
    writeFile(m_data / "folder.idx", twin("folder"));
    std::filesystem::create_symlink("/dev/zero", m_data / "zero.xml");
    writeFile(m_data / "zero.idx", twin("zero"));
    std::filesystem::create_symlink("loop.xml", m_data / "loop.xml");
    writeFile(m_data / "loop.idx", twin("loop"));
    tally().catalogs += 5;

    const auto release = [this] {
        releaseFifoReader(m_data / "fifo.xml");
        releaseFifoReader(m_data / "pipe.idx");
    };
    EXPECT_TRUE(finishesWithin(
        std::chrono::seconds(10), [this] { startUp(); }, release));
    Names loaded;
    for (const browse::NodeId node : m_browser->tree().roots())
        loaded.push_back(m_browser->tree().label(node));
    EXPECT_EQ(loaded, (Names { "fifo", "good", "loop", "zero" }));
    for (const char* stem : { "fifo", "loop", "zero" }) {
        EXPECT_TRUE(finishesWithin(
            std::chrono::seconds(10), [&] { EXPECT_EQ(listNode(root(stem)), Names {}); }, release))
            << stem;
    }
    EXPECT_TRUE(finishesWithin(
        std::chrono::seconds(10), [&] { findAll("readme"); }, release));
    EXPECT_EQ(column(FileColumn::FXml), Names { "good" });
    EXPECT_TRUE(m_box.shown.empty());
    expectGoodCatalogUnaffected();
    EXPECT_TRUE(std::filesystem::is_fifo(m_data / "fifo.xml"));
}

} // namespace
} // namespace mellowby::hardening
