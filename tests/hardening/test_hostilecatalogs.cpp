#include "hostilecatalogs.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include <sys/stat.h>

// Catalogs damaged or made by hand: cut short, attributes missing, files that are no catalogs,
// bytes of neither encoding, a twin that disagrees, things in Data that are no files at all.
namespace mellowby::hardening {
namespace {

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
