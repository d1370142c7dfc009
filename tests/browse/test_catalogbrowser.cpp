#include <filesystem>
#include <gtest/gtest.h>

#include "browse/catalogbrowser.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "fakes/fakemessagebox.h"
#include "fakes/faultyfilesystem.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/catalogmaker.h"
#include "support/temporaryfolder.h"

namespace mellowby::browse {
namespace {

using tests::CatalogMaker;

class Browser : public ::testing::Test {
protected:
    // A disc with "Tom & Jerry" (two subdirectories, one of them twice), "one" (one subdirectory)
    // and "none" (no subdirectory).
    void writeDisc(const std::string& name)
    {
        CatalogMaker maker(m_data);
        maker.directory("",
            { CatalogMaker::file("readme.txt"), CatalogMaker::dir("Tom & Jerry"), CatalogMaker::dir("one"),
                CatalogMaker::dir("none") });
        maker.directory("Tom & Jerry", { CatalogMaker::dir("same"), CatalogMaker::dir("same") });
        maker.directory("Tom & Jerry/same", { CatalogMaker::file("x.jpg") });
        maker.directory("one", { CatalogMaker::dir("inner") });
        maker.directory("one/inner", {});
        maker.directory("none", { CatalogMaker::file("y.txt") });
        ASSERT_TRUE(maker.write(name));
    }

    std::vector<std::string> labels(const std::vector<NodeId>& nodes)
    {
        std::vector<std::string> texts;
        for (const NodeId node : nodes)
            texts.push_back(m_browser.tree().label(node));
        return texts;
    }

    std::vector<std::string> collectionNames()
    {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < m_browser.collection().count(); ++i)
            names.push_back(m_browser.collection().at(i).FileName());
        return names;
    }

    tests::TemporaryFolder m_folder;
    std::filesystem::path m_data = m_folder.path();
    fakes::FakeMessageBox m_box;
    platform::LinuxFileSystem m_realFileSystem;
    fakes::FaultyFileSystem m_fileSystem { m_realFileSystem };
    catalog::CatalogStore m_store { m_data.string(), m_fileSystem };
    names::NamesIndexCache m_indexes { m_store, names::userCacheFolder() };
    CatalogBrowser m_browser { m_indexes, m_box };
};

TEST_F(Browser, FillsTheTreeFromTheIndexTwin)
{
    writeDisc("Photos");
    ASSERT_TRUE(m_browser.getAllXmlToTree());
    const auto& tree = m_browser.tree();
    ASSERT_EQ(labels(tree.roots()), (std::vector<std::string> { "Photos" }));
    const NodeId root = tree.roots()[0];
    EXPECT_EQ(labels(tree.children(root)), (std::vector<std::string> { "Tom & Jerry", "one", "none" }));
    const NodeId tom = tree.children(root)[0];
    EXPECT_EQ(labels(tree.children(tom)), (std::vector<std::string> { "same", "same" }));
    EXPECT_EQ(tree.children(tree.children(root)[1]).size(), 1u);
    EXPECT_TRUE(tree.children(tree.children(root)[2]).empty());
    EXPECT_EQ(m_browser.getXmlIndex("photos"), root);
    EXPECT_TRUE(m_box.shown.empty());

    std::string catalogName;
    EXPECT_EQ(getParentNode(tree, tree.children(tom)[1], catalogName), "Disk/Directory/Directory");
    EXPECT_EQ(catalogName, "Photos");
    EXPECT_EQ(getParentNode(tree, root, catalogName), "Disk");
}

TEST_F(Browser, LoadsInNameOrderAndARegeneratedCatalogGoesLast)
{
    for (const char* name : { "c", "a", "B" })
        writeDisc(name);
    m_browser.getAllXmlToTree();
    EXPECT_EQ(collectionNames(), (std::vector<std::string> { "a", "B", "c" }));
    const NodeId oldB = m_browser.getXmlIndex("b");

    EXPECT_TRUE(m_browser.AddXmlToTree("B"));
    EXPECT_EQ(collectionNames(), (std::vector<std::string> { "a", "c", "B" }));
    EXPECT_EQ(labels(m_browser.tree().roots()), (std::vector<std::string> { "a", "c", "B" }));
    EXPECT_FALSE(m_browser.tree().contains(oldB));

    // Removing one catalog leaves the others' roots where their records say.
    EXPECT_TRUE(m_browser.removeCatalog("a"));
    EXPECT_EQ(m_browser.tree().label(m_browser.getXmlIndex("c")), "c");
    EXPECT_EQ(m_browser.tree().label(m_browser.getXmlIndex("B")), "B");
}

TEST_F(Browser, CatalogsThatCannotBeShown)
{
    EXPECT_FALSE(m_browser.getAllXmlToTree()); // empty Data

    writeDisc("good");
    writeDisc("no twin");
    std::filesystem::remove(m_data / "no twin.idx");
    writeDisc("broken");
    tests::writeFile(m_data / "broken.idx", "<?xml version=\"1.0\"?>\r\n<Disk title=\"broken\" Label=\"/\">\r\n");
    writeDisc("GOOD2");
    std::filesystem::rename(m_data / "GOOD2.xml", m_data / "Good.XML"); // the same catalog as good.xml
    std::filesystem::rename(m_data / "GOOD2.idx", m_data / "Good.idx");

    EXPECT_TRUE(m_browser.getAllXmlToTree());
    EXPECT_EQ(collectionNames(), (std::vector<std::string> { "Good" })); // "Good.XML" sorts before "good.xml"
    EXPECT_EQ(m_browser.tree().roots().size(), 1u);
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0].title, "frmMain-ShowXml");
    EXPECT_TRUE(m_box.shown[0].text.starts_with("显示XML文件时出错！\r\n错误描述：" + (m_data / "broken.idx").string()))
        << m_box.shown[0].text;

    EXPECT_EQ(m_browser.getXmlIndex("missing"), -1);
    ASSERT_EQ(m_box.shown.size(), 2u);
    EXPECT_EQ(m_box.shown[1].title, "frmMain-getXmlIndex");
    EXPECT_TRUE(m_box.shown[1].text.starts_with("取出指定文件的集合索引时出错！"));
    EXPECT_TRUE(m_browser.ifXmlLoaded("GOOD"));
    EXPECT_FALSE(m_browser.ifXmlLoaded("broken"));
}

TEST_F(Browser, LabelRulesAndFaultyElements)
{
    catalog::CatalogDocument document;
    ASSERT_TRUE(document.loadBytes(R"(<?xml version="1.0" encoding="UTF-8"?>
<Disk title="disc" Label="/">
  <Directory title="ok"/>
  <Directory/>
  <Directory title="after"><Directory title="kept"/></Directory>
  <Odd>text</Odd>
  <NoTitle><A a="1"/><B b="2"/></NoTitle>
</Disk>)"));
    const NodeId root = m_browser.AddNode(document.documentElement(), kNoNode);
    const auto& tree = m_browser.tree();
    EXPECT_EQ(labels(tree.children(root)), (std::vector<std::string> { "ok", "", "after", "text", "NoTitle" }));
    EXPECT_EQ(labels(tree.children(tree.children(root)[2])), (std::vector<std::string> { "kept" }));
    EXPECT_EQ(labels(tree.children(tree.children(root)[4])), (std::vector<std::string> { "1", "2" }));
    ASSERT_EQ(m_box.shown.size(), 1u); // one faulty element costs one message and its own subtree
    EXPECT_EQ(m_box.shown[0].title, "frmMain-AddNode");
    EXPECT_TRUE(m_box.shown[0].text.starts_with("添加XML内容到树时出错！"));
}

TEST_F(Browser, DeepNestingDoesNotExhaustTheStack)
{
    constexpr int kDepth = 100000;
    std::string xml = R"(<?xml version="1.0"?><Disk title="deep" Label="/">)";
    for (int i = 0; i < kDepth; ++i)
        xml += R"(<Directory title="d">)";
    for (int i = 0; i < kDepth; ++i)
        xml += "</Directory>";
    xml += "</Disk>";
    catalog::CatalogDocument document;
    ASSERT_TRUE(document.loadBytes(xml));
    const NodeId root = m_browser.AddNode(document.documentElement(), kNoNode);
    NodeId node = root;
    int depth = 0;
    while (!m_browser.tree().children(node).empty()) {
        node = m_browser.tree().children(node)[0];
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    std::string catalogName;
    EXPECT_EQ(getParentNode(m_browser.tree(), node, catalogName).size(), 4 + 10u * kDepth);
}

// Catalogs whose names start with "." load like any other; a twin that cannot be read is
// reported with the system's reason, and the other catalogs still load.
TEST_F(Browser, DotNamesLoadAndAnUnreadableTwinIsReported)
{
    writeDisc(".foo");
    writeDisc("a");
    writeDisc("b");
    m_fileSystem.failReads("/a.idx", platform::errorFromErrno(EIO));
    EXPECT_TRUE(m_browser.getAllXmlToTree());
    EXPECT_EQ(collectionNames(), (std::vector<std::string> { ".foo", "b" }));
    EXPECT_EQ(labels(m_browser.tree().roots()), (std::vector<std::string> { ".foo", "b" }));
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0].text,
        "显示XML文件时出错！(错误代号:5)\r\n错误描述：" + (m_data / "a.idx").string() + "：Input/output error");
    EXPECT_EQ(m_box.shown[0].title, "frmMain-ShowXml");
}

} // namespace
} // namespace mellowby::browse
