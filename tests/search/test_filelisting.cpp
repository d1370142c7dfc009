#include "searchtesting.h"

#include "catalog/catalogreader.h"
#include "search/filelisting.h"
#include "search/oncemessagebox.h"

namespace mellowby::search {
namespace {

using testing::Names;
using tests::CatalogMaker;

constexpr const char* kDate = "2004年3月15日";

class Listing : public testing::DataFolderTest {
protected:
    void select(browse::NodeId node)
    {
        m_browser.tree().select(node);
        FreshRightList(m_browser, m_list);
    }
};

TEST_F(Listing, StartListsTheFirstNodeWithEveryCell)
{
    CatalogMaker maker(m_data);
    maker.directory("", { CatalogMaker::file("readme.txt", 1500), CatalogMaker::dir("docs") });
    maker.directory("docs", {});
    ASSERT_TRUE(maker.write("Photos 2004"));

    m_list.appendRow("old", "1KB", kDate, "/", "x");
    m_list.finishFill();
    FreshRightList(m_browser, m_list); // empty tree: nothing happens
    EXPECT_EQ(names(), Names { "old" });

    loadAll();
    FreshRightList(m_browser, m_list);
    EXPECT_EQ(m_browser.tree().selectedNode(), node(0));
    ASSERT_EQ(m_list.size(), 1u);
    EXPECT_EQ(m_list.row(0), (FileRow { "readme.txt", "2KB", kDate, "/media/cdrom/readme.txt", "" }));
    EXPECT_EQ(m_browser.currentCatalogName(), "Photos 2004");
    EXPECT_TRUE(m_box.shown.empty());

    select(node(0, { 0 })); // a directory without files
    EXPECT_EQ(m_list.size(), 0u);
}

// A directory lists its own files, not those of every directory of that name at that depth.
TEST_F(Listing, SameTitledDirectoriesKeepTheirOwnFiles)
{
    const auto file
        = [](const std::string& name) { return R"(<File CreateDate="d" FileSize="1KB">)" + name + "</File>"; };
    writeRaw("disc", R"(<Disk title="disc" Label="/m">)",
        R"(<Directory title="a" CreateDate="d"><Directory title="img" CreateDate="d">)" + file("a1") + "</Directory>"
            + R"(<Directory title="img" CreateDate="d">)" + file("a2") + "</Directory></Directory>"
            + R"(<Directory title="b" CreateDate="d"><Directory title="img" CreateDate="d">)" + file("b1") + file("b2")
            + "</Directory></Directory>");
    loadAll();

    select(node(0, { 1, 0 }));
    EXPECT_EQ(names(), (Names { "b1", "b2" }));
    EXPECT_EQ(m_list.cell(0, FileColumn::FLocate), "/m/b/img/b1");
    select(node(0, { 0, 0 }));
    EXPECT_EQ(names(), Names { "a1" });
    select(node(0, { 0, 1 }));
    EXPECT_EQ(names(), Names { "a2" });
    EXPECT_EQ(m_list.cell(0, FileColumn::FLocate), "/m/a/img/a2");
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(Listing, QuotesAndBackslashesInTitlesAreOrdinary)
{
    CatalogMaker maker(m_data);
    maker.directory("", { CatalogMaker::dir("Bob's"), CatalogMaker::dir(R"(back\slash)") });
    maker.directory("Bob's", { CatalogMaker::file("it's.txt") });
    maker.directory(R"(back\slash)", { CatalogMaker::file(R"(a\b.txt)") });
    ASSERT_TRUE(maker.write("Tom's \"disc\""));
    loadAll();

    select(node(0, { 0 }));
    EXPECT_EQ(names(), Names { "it's.txt" });
    select(node(0, { 1 }));
    EXPECT_EQ(m_list.cell(0, FileColumn::FLocate), R"(/media/cdrom/back\slash/a\b.txt)");
    EXPECT_EQ(m_browser.currentCatalogName(), "Tom's \"disc\"");
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(Listing, CatalogFileNames)
{
    CatalogMaker maker(m_data);
    maker.directory("", { CatalogMaker::file("in-x.txt") });
    ASSERT_TRUE(maker.write("x.XML")); // x.XML and x.idx, titled x.XML
    loadAll();
    FreshRightList(m_browser, m_list);
    EXPECT_EQ(names(), Names { "in-x.txt" });
    EXPECT_EQ(m_browser.currentCatalogName(), "x.XML");

    const std::string data = m_data.string();
    EXPECT_EQ(m_store.catalogPath("x.XML").value(), data + "/x.XML");
    EXPECT_EQ(m_store.catalogPath("X").value(), data + "/x.XML"); // found whatever the case
    EXPECT_EQ(m_store.catalogPath("none").value(), data + "/none.xml");
    EXPECT_FALSE(m_store.catalogPath("../x"));
}

TEST_F(Listing, CatalogWithoutNameListsNothing)
{
    CatalogMaker maker(m_data);
    maker.directory("", { CatalogMaker::file("a.txt") });
    ASSERT_TRUE(maker.write("")); // tmp1000.xml titled ""
    loadAll();
    m_browser.setCurrentCatalogName("before");
    FreshRightList(m_browser, m_list);
    EXPECT_EQ(m_list.size(), 0u);
    EXPECT_EQ(m_browser.currentCatalogName(), "");
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(Listing, LocationsFollowTheSystemTheCatalogWasWrittenOn)
{
    const std::string body = R"(<File CreateDate="d" FileSize="1KB">a.txt</File>
<Directory title="docs" CreateDate="d"><File CreateDate="d" FileSize="1KB">b.txt</File></Directory>)";
    writeRaw("1 root", R"(<Disk title="1 root" Label="/">)", body);
    writeRaw("2 drive", R"(<Disk title="2 drive" Label="E:\">)", body);
    writeRaw("3 folder", R"(<Disk title="3 folder" Label="D:\photos">)", body);
    loadAll();

    const std::vector<std::pair<std::string, std::string>> expected {
        { "/a.txt", "/docs/b.txt" },
        { R"(E:\a.txt)", R"(E:\docs\b.txt)" },
        { R"(D:\photos\a.txt)", R"(D:\photos\docs\b.txt)" },
    };
    for (std::size_t catalog = 0; catalog < expected.size(); ++catalog) {
        select(node(catalog));
        EXPECT_EQ(column(FileColumn::FLocate), Names { expected[catalog].first });
        select(node(catalog, { 0 }));
        EXPECT_EQ(column(FileColumn::FLocate), Names { expected[catalog].second });
    }
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(Listing, LocationOfOddElements)
{
    catalog::CatalogDocument document;
    ASSERT_TRUE(document.loadBytes(R"(<Root a="top"><Directory><File x="1" y="2">f</File></Directory></Root>)"));
    const pugi::xml_node file = document.documentElement().first_child().first_child();
    EXPECT_EQ(getXmlParentNode(m_box, file), "top/Directory/f");
    EXPECT_EQ(getXmlParentNode(m_box, pugi::xml_node()), "");
    EXPECT_TRUE(m_box.shown.empty());

    ASSERT_TRUE(document.loadBytes(R"(<Disk title="t"><Directory title="d"><File/></Directory></Disk>)"));
    const pugi::xml_node directory = document.documentElement().first_child();
    // The Disk has no Label: that level and everything above it count as empty.
    EXPECT_EQ(getXmlParentNode(m_box, directory), "/d");
    // A File without a name: nothing above it is looked at.
    EXPECT_EQ(getXmlParentNode(m_box, directory.first_child()), "");
    const std::string failure = "取出XML文件节点上级节点名称时出错！\r\n错误描述：";
    ASSERT_EQ(m_box.shown.size(), 2u);
    EXPECT_EQ(m_box.shown[0].text, failure + "Disk 元素没有 Label 属性。");
    EXPECT_EQ(m_box.shown[1].text, failure + "File 元素没有文件名。");
    EXPECT_EQ(titles(), (Names { "frmMain-getXmlParentNode", "frmMain-getXmlParentNode" }));
}

TEST_F(Listing, DeepCatalogsDoNotExhaustTheStack)
{
    constexpr int kDepth = 100000;
    std::string xml = R"(<Disk title="deep" Label="/m">)";
    for (int i = 0; i < kDepth; ++i)
        xml += R"(<Directory title="d">)";
    xml += R"(<File CreateDate="d" FileSize="1KB">f</File>)";
    for (int i = 0; i < kDepth; ++i)
        xml += "</Directory>";
    xml += "</Disk>";
    catalog::CatalogDocument document;
    ASSERT_TRUE(document.loadBytes(xml));
    pugi::xml_node file = document.documentElement();
    while (file.first_child())
        file = file.first_child();
    const std::string location = getXmlParentNode(m_box, file.parent());
    EXPECT_EQ(location.size(), 2 + 2u * kDepth + 2);
    EXPECT_TRUE(location.ends_with("/d/d/f"));
}

TEST_F(Listing, MalformedFilesStopTheFillWhereTheyFail)
{
    const std::string failure = "取得XML节点时出错！\r\n错误描述：";
    writeRaw("a", R"(<Disk title="a" Label="/m">)",
        R"(<File CreateDate="d" FileSize="1KB">one</File><File CreateDate="d" FileSize="1KB"/>)"
        R"(<File CreateDate="d" FileSize="1KB">never</File>)");
    writeRaw("b", R"(<Disk title="b" Label="/m">)",
        R"(<File CreateDate="d" FileSize="1KB">one</File><File CreateDate="d">short</File>)"
        R"(<File CreateDate="d" FileSize="1KB">never</File>)");
    loadAll();

    select(node(0));
    EXPECT_EQ(names(), Names { "one" });
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0].text, failure + "File 元素没有文件名。");
    EXPECT_EQ(m_box.shown[0].title, "frmMain-getAllXmlNodeByName");
    EXPECT_EQ(m_browser.currentCatalogName(), "a");

    select(node(1));
    ASSERT_EQ(m_list.size(), 2u);
    EXPECT_EQ(m_list.row(1), (FileRow { "short", "", "", "", "" }));
    ASSERT_EQ(m_box.shown.size(), 2u);
    EXPECT_EQ(m_box.shown[1].text, failure + "File 元素缺少创建时间或大小属性。");
    EXPECT_FALSE(getAllXmlNodeByName(m_browser, m_list, "b", "b", {}));
}

TEST_F(Listing, BrokenDiskIsReportedOncePerListing)
{
    writeRaw("nolabel", R"(<Disk title="nolabel">)",
        R"(<File CreateDate="d" FileSize="1KB">x</File><File CreateDate="d" FileSize="1KB">y</File>)");
    loadAll();
    FreshRightList(m_browser, m_list);
    EXPECT_EQ(column(FileColumn::FLocate), (Names { "/x", "/y" }));
    EXPECT_EQ(titles(), Names { "frmMain-getXmlParentNode" });
    FreshRightList(m_browser, m_list);
    EXPECT_EQ(m_box.shown.size(), 2u);
}

TEST_F(Listing, MissingOrDamagedCatalogFileGivesAnEmptyList)
{
    writeRaw("gone", R"(<Disk title="gone" Label="/m">)", R"(<File CreateDate="d" FileSize="1KB">x</File>)");
    writeRaw("torn", R"(<Disk title="torn" Label="/m">)", R"(<File CreateDate="d" FileSize="1KB">x</File>)");
    tests::writeFile(m_data / "torn.xml", "<?xml version=\"1.0\"?>\r\n<Disk title=\"torn\" Label=\"/m\">\r\n");
    loadAll();
    std::filesystem::remove(m_data / "gone.xml");
    for (const std::size_t catalog : { 0u, 1u }) {
        m_list.appendRow("old", "", "", "", "");
        select(node(catalog));
        EXPECT_EQ(m_list.size(), 0u);
    }
    EXPECT_EQ(m_browser.currentCatalogName(), "torn");
    EXPECT_TRUE(m_box.shown.empty());
}

TEST(OnceMessageBox, ShowsEachBoxOnceAndRepeatsItsAnswer)
{
    fakes::FakeMessageBox target;
    target.queueAnswer(platform::MessageAnswer::Yes);
    OnceMessageBox box(target);
    const platform::MessageRequest question { "text", "title", platform::MessageIcon::Question,
        platform::MessageButtons::YesNo };
    EXPECT_EQ(box.show(question), platform::MessageAnswer::Yes);
    EXPECT_EQ(box.show(question), platform::MessageAnswer::Yes);
    auto otherTitle = question;
    otherTitle.title = "other";
    EXPECT_EQ(box.show(otherTitle), platform::MessageAnswer::No);
    ASSERT_EQ(target.shown.size(), 2u);
    EXPECT_EQ(target.shown[1].title, "other");
    box.prompt("p", "t", "");
    box.prompt("p", "t", "");
    EXPECT_EQ(target.prompts.size(), 2u);
}

} // namespace
} // namespace mellowby::search
