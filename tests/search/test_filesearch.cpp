#include "searchtesting.h"

#include "search/filesearch.h"

namespace mellowby::search {
namespace {

using testing::Names;
using tests::CatalogMaker;

std::string file(const std::string& name, const std::string& attributes = R"(CreateDate="d" FileSize="1KB")")
{
    return "<File " + attributes + ">" + name + "</File>";
}

class Search : public testing::DataFolderTest {
protected:
    void writeDisc(const std::string& name, const std::vector<platform::DirEntry>& rootEntries)
    {
        CatalogMaker maker(m_data);
        maker.directory("", rootEntries);
        maker.directory("sub", { CatalogMaker::file("photo.JPG", 3000), CatalogMaker::file("notes.txt") });
        ASSERT_TRUE(maker.write(name));
    }
    void keepOldRow()
    {
        m_list.clear();
        m_list.appendRow("old", "", "", "", "");
        m_list.finishFill();
    }
};

TEST_F(Search, FindTextOfBlanksOnlyAsksForOne)
{
    keepOldRow();
    cmdFind_Click(m_indexes, m_box, m_list, "   ", SearchScope::of(m_browser, true));
    EXPECT_EQ(names(), Names { "old" });
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0].text, "请输入要查找文件的名字内容！");
    EXPECT_EQ(m_box.shown[0].title, "查找文件");
}

TEST_F(Search, MatchesAnywhereInTheNameIgnoringCase)
{
    writeDisc("Photos",
        { CatalogMaker::file("jpgtools.exe"), CatalogMaker::file("jp g.txt"), CatalogMaker::dir("sub"),
            CatalogMaker::file("a.jpG") });
    loadAll();
    cmdFind_Click(m_indexes, m_box, m_list, "  jpg ", SearchScope::of(m_browser, true));
    EXPECT_EQ(names(), (Names { "jpgtools.exe", "photo.JPG", "a.jpG" }));
    EXPECT_EQ(m_list.row(1), (FileRow { "photo.JPG", "3KB", "2004年3月15日", "/media/cdrom/sub/photo.JPG", "Photos" }));
    EXPECT_EQ(m_list.cell(2, FileColumn::FLocate), "/media/cdrom/a.jpG");

    cmdFind_Click(m_indexes, m_box, m_list, "photo.jpg", SearchScope::of(m_browser, true)); // the whole name
    EXPECT_EQ(names(), Names { "photo.JPG" });
    cmdFind_Click(m_indexes, m_box, m_list, "photo.jpg.", SearchScope::of(m_browser, true));
    EXPECT_EQ(m_list.size(), 0u);
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(Search, ScopeOfTheSearch)
{
    writeDisc("one", { CatalogMaker::file("same.txt") });
    writeDisc("Two", { CatalogMaker::file("same.txt") });

    cmdFind_Click(m_indexes, m_box, m_list, "same",
        SearchScope::of(m_browser, true)); // nothing loaded: nothing found, nothing said
    EXPECT_EQ(m_list.size(), 0u);
    EXPECT_TRUE(m_box.shown.empty());

    loadAll();
    cmdFind_Click(m_indexes, m_box, m_list, "same", SearchScope::of(m_browser, true));
    EXPECT_EQ(column(FileColumn::FXml), (Names { "one", "Two" }));

    keepOldRow();
    cmdFind_Click(m_indexes, m_box, m_list, "same", SearchScope::of(m_browser, false)); // no current catalog yet
    EXPECT_EQ(m_list.size(), 0u);
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0].text, "请先选则一个文件后再进行查找！\r\n错误描述：查找文件");
    EXPECT_EQ(m_box.shown[0].title, "Quillon");

    m_browser.setCurrentCatalogName("Two");
    cmdFind_Click(m_indexes, m_box, m_list, "same", SearchScope::of(m_browser, false));
    EXPECT_EQ(column(FileColumn::FXml), Names { "Two" });
}

TEST_F(Search, FindTextIsNeverAPattern)
{
    writeRaw("odd", R"(<Disk title="odd" Label="/m">)",
        file("Bob&apos;s*.txt") + file("Bobs.txt") + file("a?b") + file("[x]'") + file("STRASSE.txt")
            + file("Straße.doc") + file("Ä.txt") + file("ǆ"));
    loadAll();
    const auto find = [this](const std::string& text) {
        cmdFind_Click(m_indexes, m_box, m_list, text, SearchScope::of(m_browser, true));
        return names();
    };
    EXPECT_EQ(find("bob's*"), Names { "Bob's*.txt" });
    EXPECT_EQ(find("?"), Names { "a?b" });
    EXPECT_EQ(find("]'"), Names { "[x]'" });
    EXPECT_EQ(find("straße"), (Names { "STRASSE.txt", "Straße.doc" }));
    EXPECT_EQ(find("ä"), Names { "Ä.txt" });
    EXPECT_EQ(find("ǅ"), Names { "ǆ" });
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(Search, MalformedFilesEndTheirCatalogOnly)
{
    writeRaw("a", R"(<Disk title="a" Label="/m">)",
        file("hit1") + file("miss", R"(CreateDate="d")") + file("hit2", R"(CreateDate="d")") + file("hit3"));
    writeRaw("b", R"(<Disk title="b" Label="/m">)", file("hit4") + "<File/>" + file("hit5"));
    writeRaw("c", R"(<Disk title="c" Label="/m">)", file("hit6"));
    loadAll();
    cmdFind_Click(m_indexes, m_box, m_list, "hit", SearchScope::of(m_browser, true));
    EXPECT_EQ(names(), (Names { "hit1", "hit2", "hit4", "hit6" }));
    EXPECT_EQ(m_list.row(1), (FileRow { "hit2", "", "", "", "" }));
    const std::string failure = "查找文件时出错！\r\n错误描述：";
    ASSERT_EQ(m_box.shown.size(), 2u);
    EXPECT_EQ(m_box.shown[0].text, failure + "File 元素缺少创建时间或大小属性。");
    EXPECT_EQ(m_box.shown[1].text, failure + "File 元素没有文件名。");
    EXPECT_EQ(titles(), (Names { "frmMain-findFileInXml", "frmMain-findFileInXml" }));
}

TEST_F(Search, OneBoxPerSearchForTheSameFault)
{
    for (const char* name : { "a", "b" })
        writeRaw(name, std::string(R"(<Disk title=")") + name + "\">", file("x1") + file("x2"));
    loadAll();
    cmdFind_Click(m_indexes, m_box, m_list, "x", SearchScope::of(m_browser, true));
    EXPECT_EQ(column(FileColumn::FLocate), (Names { "/x1", "/x2", "/x1", "/x2" }));
    EXPECT_EQ(titles(), Names { "frmMain-getXmlParentNode" });
}

TEST_F(Search, DeepAndWindowsCatalogs)
{
    constexpr int kDepth = 100000;
    std::string body;
    for (int i = 0; i < kDepth; ++i)
        body += R"(<Directory title="d" CreateDate="d">)";
    body += file("bottom.txt");
    for (int i = 0; i < kDepth; ++i)
        body += "</Directory>";
    writeRaw("deep", R"(<Disk title="deep" Label="/m">)", body);
    findFileInXml(m_indexes, m_box, m_list, "BOTTOM", "deep");
    m_list.finishFill();
    ASSERT_EQ(m_list.size(), 1u);
    EXPECT_EQ(m_list.cell(0, FileColumn::FLocate).size(), 2 + 2u * kDepth + 11);

    writeRaw("win", R"(<Disk title="win" Label="E:\">)",
        R"(<Directory title="docs" CreateDate="d">)" + file("a.txt") + "</Directory>");
    findFileInXml(m_indexes, m_box, m_list, "A.TXT", "WIN.XML"); // any case, extension given
    m_list.finishFill();
    ASSERT_EQ(m_list.size(), 2u);
    EXPECT_EQ(m_list.row(1), (FileRow { "a.txt", "1KB", "d", R"(E:\docs\a.txt)", "WIN.XML" }));
    findFileInXml(m_indexes, m_box, m_list, "A", "missing");
    EXPECT_TRUE(m_box.shown.empty());
}

TEST(UpperText, UnicodeRulesAndStrayBytes)
{
    EXPECT_EQ(toUpperText("abc.jpg 1"), "ABC.JPG 1");
    EXPECT_EQ(toUpperText("straße ǆ ä ﬁ"), "STRASSE Ǆ Ä FI");
    EXPECT_EQ(toUpperText("目录"), "目录");
    EXPECT_EQ(toUpperText(""), "");
    EXPECT_EQ(toUpperText("a\xff\xc3z\xe4"), "A\xff\xc3Z\xe4");
}

} // namespace
} // namespace mellowby::search
