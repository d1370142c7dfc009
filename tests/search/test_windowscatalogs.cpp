#include "searchtesting.h"
#include "testconfig.h"

#include <algorithm>
#include <filesystem>

#include "search/catalogfiles.h"
#include "search/catalogstats.h"
#include "search/duplicates.h"
#include "search/filelisting.h"
#include "search/filesearch.h"

namespace mellowby::search {
namespace {

using testing::Names;

// Catalogs made on a Chinese Windows system and copied into Data: they declare GB2312 but hold
// code page 936 (traditional characters, "·" and "—" at A1A4 and A1AA, "€" at 0x80), and their
// labels and locations use backslashes.
class WindowsCatalogs : public testing::DataFolderTest {
protected:
    void SetUp() override
    {
        for (const auto& file : std::filesystem::directory_iterator(std::string(MELLOWBY_TEST_DATA_DIR) + "/windows"))
            std::filesystem::copy_file(file.path(), m_data / file.path().filename());
        loadAll();
    }

    void select(browse::NodeId node)
    {
        m_browser.tree().select(node);
        FreshRightList(m_browser, m_list);
    }
    std::vector<FileRow> rows() const
    {
        std::vector<FileRow> all;
        for (std::size_t i = 0; i < m_list.size(); ++i)
            all.push_back(m_list.row(i));
        return all;
    }
};

TEST_F(WindowsCatalogs, TreeAndListingShowTheNamesAsWrittenOnWindows)
{
    const auto label = [this](browse::NodeId node) { return m_browser.tree().label(node); };
    ASSERT_EQ(m_browser.tree().roots().size(), 2u);
    const std::size_t traditional = label(node(0)) == "繁體光碟" ? 0 : 1;
    EXPECT_EQ(label(node(traditional)), "繁體光碟");
    EXPECT_EQ(label(node(1 - traditional)), "文学·2004");
    EXPECT_EQ(label(node(traditional, { 0 })), "列夫·托爾斯泰");
    EXPECT_EQ(label(node(traditional, { 0, 0 })), "臺北");

    select(node(traditional));
    EXPECT_EQ(rows(),
        (std::vector<FileRow> { { "讀我.txt", "2KB", "2004年3月15日", R"(E:\讀我.txt)", "" },
            { "價格€100.txt", "1KB", "2004年3月15日", R"(E:\價格€100.txt)", "" } }));
    EXPECT_EQ(m_browser.currentCatalogName(), "繁體光碟");
    select(node(traditional, { 0, 0 }));
    EXPECT_EQ(rows(),
        (std::vector<FileRow> { { "長城.jpg", "20KB", "2004年3月16日", R"(E:\列夫·托爾斯泰\臺北\長城.jpg)", "" } }));

    // The catalog's name holds the dot too, in its file name and in its title alike.
    select(node(1 - traditional, { 0 }));
    EXPECT_EQ(rows(),
        (std::vector<FileRow> { { "呐喊——自序.txt", "40KB", "2004年3月15日", R"(D:\书库\鲁迅\呐喊——自序.txt)", "" } }));
    EXPECT_EQ(m_browser.currentCatalogName(), "文学·2004");
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(WindowsCatalogs, SearchFindsTraditionalCharactersTheDotTheDashAndTheEuro)
{
    cmdFind_Click(m_indexes, m_box, m_list, "體", SearchScope::of(m_browser, true));
    EXPECT_EQ(rows(),
        (std::vector<FileRow> {
            { "體育·臺灣.doc", "3KB", "2004年3月15日", R"(E:\列夫·托爾斯泰\體育·臺灣.doc)", "繁體光碟" } }));
    cmdFind_Click(m_indexes, m_box, m_list, "·", SearchScope::of(m_browser, true));
    EXPECT_EQ(names(), Names { "體育·臺灣.doc" });
    cmdFind_Click(m_indexes, m_box, m_list, "——", SearchScope::of(m_browser, true));
    Names locations = column(FileColumn::FLocate);
    std::ranges::sort(locations); // the catalogs are searched in the order they were loaded
    EXPECT_EQ(locations, (Names { R"(D:\书库\鲁迅\呐喊——自序.txt)", R"(E:\列夫·托爾斯泰\戰爭與和平——第一卷.txt)" }));
    cmdFind_Click(m_indexes, m_box, m_list, "€", SearchScope::of(m_browser, true));
    EXPECT_EQ(names(), Names { "價格€100.txt" });
    EXPECT_TRUE(m_box.shown.empty());
}

// Before catalogs were read as code page 936 this program wrote "・" (U+30FB) and "―" (U+2015)
// as A1A4 and A1AA, which now read as "·" and "—". A catalog named with one keeps its file name
// while its title, the root's label, changes, so the root lists nothing; the search still
// finds its files.
class EarlierCatalogs : public testing::DataFolderTest { };

TEST_F(EarlierCatalogs, TheOldDotAndDashReadAsWindowsWritesThem)
{
    const std::string opening = "<?xml version =\"1.0\" encoding =\"GB2312\" standalone=\"yes\" ?>\r\n"
                                "<Disk title=\"A\xA1\xA4"
                                "B\" Label=\"/m\">\r\n";
    tests::writeFile(m_data / "A・B.xml",
        opening + "<File CreateDate=\"d\" FileSize=\"1KB\">x\xA1\xA4y\xA1\xAA.txt</File>\r\n</Disk>\r\n");
    tests::writeFile(m_data / "A・B.idx", opening + "</Disk>\r\n");
    loadAll();
    EXPECT_EQ(m_browser.tree().label(node(0)), "A·B");
    FreshRightList(m_browser, m_list);
    EXPECT_EQ(m_list.size(), 0u);
    cmdFind_Click(m_indexes, m_box, m_list, "x", SearchScope::of(m_browser, true));
    ASSERT_EQ(m_list.size(), 1u);
    EXPECT_EQ(m_list.row(0), (FileRow { "x·y—.txt", "1KB", "d", "/m/x·y—.txt", "A・B" }));
    EXPECT_TRUE(m_box.shown.empty());
}

// Exports and figures take the folders below the Label in the catalog's own separator, and read
// the dates Windows wrote.
TEST_F(WindowsCatalogs, FilesWithTheirFoldersAndTheFiguresOfACatalog)
{
    std::vector<std::string> files;
    ASSERT_TRUE(forEachCatalogFile(m_indexes, m_box, "文学·2004", [&](const CatalogFile& file) {
        files.push_back(std::string(file.directory) + "|" + std::string(file.name) + "|" + std::string(file.location));
    }));
    EXPECT_EQ(files, (Names { "鲁迅|呐喊——自序.txt|D:\\书库\\鲁迅\\呐喊——自序.txt" }));
    const auto stats = statsOf(m_indexes, m_box, "文学·2004");
    ASSERT_TRUE(stats.has_value());
    EXPECT_EQ(stats->directories, 1u);
    EXPECT_EQ(stats->files, 1u);
    EXPECT_EQ(stats->kilobytes, 40u);
    EXPECT_EQ(stats->oldest, "2004年3月15日");
    EXPECT_EQ(stats->newest, "2004年3月15日");
    EXPECT_EQ(stats->scannedPath, "D:\\书库");
    EXPECT_FALSE(forEachCatalogFile(m_indexes, m_box, "no such", [](const CatalogFile&) {}));
    EXPECT_TRUE(m_box.shown.empty());
}

TEST(Kilobytes, OnlyTheSizesTheWriterWrites)
{
    EXPECT_EQ(kilobytesOf("40KB"), 40u);
    EXPECT_EQ(kilobytesOf("0KB"), 0u);
    EXPECT_EQ(kilobytesOf("18446744073709551615KB"), 18446744073709551615u);
    for (const char* other : { "18446744073709551616KB", "1,234KB", "KB", "12", "12 KB", "12kb", "-1KB", "" })
        EXPECT_EQ(kilobytesOf(other), std::nullopt) << other;
}

} // namespace
} // namespace mellowby::search
