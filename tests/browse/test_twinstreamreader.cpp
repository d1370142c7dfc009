// The tree filled from an index twin read a piece at a time against the tree the document model
// gives for the same bytes: on twins of the writer's form, which are read without a document, and
// on every odd or hostile twin, which the reader leaves to the model.

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "browse/catalogbrowser.h"
#include "browse/twinstreamreader.h"
#include "catalog/catalogstore.h"
#include "fakes/fakemessagebox.h"
#include "names/memoryfile.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/gb2312testtexts.h"
#include "support/temporaryfolder.h"

namespace mellowby::browse {
namespace {

using namespace std::string_literals;

const std::string kGb = "<?xml version =\"1.0\" encoding =\"GB2312\" standalone=\"yes\" ?>\r\n";
const std::string kUtf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// Every node below node, one line each, indented by depth.
void describe(const CatalogTree& tree, NodeId node, std::string& out)
{
    std::vector<std::pair<NodeId, std::size_t>> pending { { node, 0 } };
    while (!pending.empty()) {
        const auto [at, depth] = pending.back();
        pending.pop_back();
        out.append(depth, ' ').append(tree.label(at)).append("\n");
        const auto& children = tree.children(at);
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            pending.emplace_back(*child, depth + 1);
    }
}

std::string describe(const CatalogTree& tree, const fakes::FakeMessageBox& box)
{
    std::string out;
    for (const NodeId root : tree.roots())
        describe(tree, root, out);
    for (const auto& shown : box.shown)
        out += "box " + shown.title + ": " + shown.text + "\n";
    return out;
}

class TwinTree : public ::testing::Test {
protected:
    // What the window shows for a twin of these bytes: the tree and the boxes.
    std::string shown(const std::string& bytes) { return shownWith(m_indexes, bytes); }
    // What it showed when every twin went through the document model.
    std::string modelShows(const std::string& bytes) { return shownWith(m_modelIndexes, bytes); }

    std::string shownWith(const names::NamesIndexCache& indexes, const std::string& bytes)
    {
        write(bytes);
        fakes::FakeMessageBox box;
        CatalogBrowser browser(indexes, box);
        browser.AddXmlToTree("c");
        return describe(browser.tree(), box);
    }

    void write(const std::string& bytes)
    {
        tests::writeFile(m_data / "c.xml", bytes);
        tests::writeFile(m_data / "c.idx", bytes);
    }

    tests::TemporaryFolder m_folder;
    std::filesystem::path m_data = m_folder.path();
    platform::LinuxFileSystem m_fileSystem;
    catalog::CatalogStore m_store { m_data.string(), m_fileSystem };
    names::NamesIndexCache m_indexes { m_store, std::nullopt };
    names::NamesIndexCache m_modelIndexes { m_store, std::nullopt, true };
};

TEST_F(TwinTree, TwinsOfTheWritersFormAreReadWithoutADocumentAndGiveTheModelsTree)
{
    const std::string cp936 = tests::toCp936("喆镕"); // outside GB2312, as Windows writes them
    std::string deep = kUtf8 + "<Disk title=\"deep\" Label=\"/\">\n";
    for (int i = 0; i < 5000; ++i)
        deep += "<Directory title=\"" + std::to_string(i) + "\" CreateDate=\"d\">\n";
    for (int i = 0; i < 5000; ++i)
        deep += "</Directory>\n";
    deep += "</Disk>\n";
    const std::vector<std::string> twins {
        // As the writer writes them: code page 936 titles, an escaped title, same titles side by
        // side, a folder with one subfolder, one with none.
        kGb + "<Disk title=\"" + tests::toGb2312("光盘") + "\" Label=\"E:\\\">\r\n<Directory title=\""
            + tests::toGb2312("照片") + "\" CreateDate=\"" + tests::toGb2312("2004年3月15日")
            + "\">\r\n<Directory title=\"Tom &amp; Jerry\" CreateDate=\"d\">\r\n</Directory>\r\n<Directory "
              "title=\"Tom &amp; Jerry\" CreateDate=\"d\">\r\n<Directory title=\""
            + cp936
            + "\" CreateDate=\"d\">\r\n</Directory>\r\n</Directory>\r\n</Directory>\r\n<Directory title=\"\" "
              "CreateDate=\"d\">\r\n</Directory>\r\n</Disk>\r\n",
        // A disc without folders.
        kGb + "<Disk title=\"" + cp936 + "\" Label=\"/media/cd\">\r\n</Disk>\r\n",
        // References, blanks inside values, other quotes, attributes in another order or added,
        // white space inside tags, no declaration.
        kUtf8
            + "<Disk title=\"a&lt;&gt;&apos;&quot;&#x4E2D;&#233;\" Label='/m'>\n<Directory CreateDate=\"first\" "
              "title=\"second\">\n</Directory >\n<Directory\ttitle = \"tab\there\r\nline\" extra=\"x\"\n>"
              "<Directory title=\"x\"></Directory></Directory>\n</Disk >\n",
        "<Disk title=\"bare\" Label=\"/\"><Directory title=\"a\"></Directory></Disk>",
        deep,
    };
    for (const std::string& twin : twins) {
        EXPECT_TRUE(readTwinNodes(names::MemoryFile(twin)).has_value()) << twin.substr(0, 200);
        EXPECT_EQ(shown(twin), modelShows(twin)) << twin.substr(0, 200);
    }
    // The code page 936 names read as the document model reads them.
    EXPECT_NE(shown(twins[1]).find("喆镕"), std::string::npos);
}

TEST_F(TwinTree, OddAndHostileTwinsGiveWhatTheModelGives)
{
    const std::string disk = "<Disk title=\"t\" Label=\"/\">";
    const std::vector<std::string> twins {
        kUtf8 + disk + "<Directory title=\"self\"/><Directory title=\"after\"></Directory></Disk>",
        kUtf8 + disk + "<!-- a comment --><Directory title=\"a\"></Directory></Disk>",
        kUtf8 + disk + "<Directory title=\"a\">text</Directory></Disk>",
        kUtf8 + disk + "<Directory title=\"a\"><File FileSize=\"1KB\">f.txt</File></Directory></Disk>",
        kUtf8 + disk
            + "<Directory><Directory title=\"x\"></Directory><Directory title=\"y\"></Directory></Directory>"
              "</Disk>",
        kUtf8 + disk + "<Directory></Directory></Disk>",
        kUtf8 + disk + "<Directory title=\"cut short\">",
        "\xEF\xBB\xBF" + kUtf8 + disk + "</Disk>",
        kUtf8 + disk + "<Directory title=\"&nbsp;\"></Directory></Disk>",
        kUtf8 + "<Root title=\"other root\"><Directory title=\"a\"></Directory></Root>",
        kUtf8 + disk + "</Disk><Disk title=\"second\" Label=\"/\"></Disk>",
        kUtf8 + disk + "</Disk>trailing",
        kUtf8 + "<?pi x?>" + disk + "</Disk>",
        kUtf8 + disk + "<![CDATA[x]]></Disk>",
        kUtf8 + disk + "<Directory title=\"a\0b\"></Directory></Disk>"s,
        kUtf8 + disk + "<Directory title=\"a\" title=\"b\"></Directory></Disk>",
        kUtf8 + disk + "<Directoryx title=\"a\"></Directoryx></Disk>",
        kUtf8 + disk + "<Directory title=a></Directory></Disk>",
        kUtf8 + disk + "<Directory title=\"a<b\"></Directory></Disk>",
        kUtf8 + disk + "<Directory title=\"a>b\"></Directory></Disk>",
        kUtf8 + disk + "<Directory title=\"a\"></Disk>",
        kUtf8 + "<Disk>" + "<Directory title=\"a\"></Directory><Directory title=\"b\"></Directory></Disk>",
        kUtf8 + disk + "<Directory title=\"&#0;\"></Directory></Disk>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + disk + "<Directory title=\"caf\xE9\"></Directory></Disk>",
        kGb + disk + "<Directory title=\"\xFF\xFF\"></Directory></Disk>",
        "",
        "   ",
    };
    for (const std::string& twin : twins)
        EXPECT_EQ(shown(twin), modelShows(twin)) << twin;
}

} // namespace
} // namespace mellowby::browse
