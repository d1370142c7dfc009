// The rows of a search kept as references into the names index: the same rows, the same texts
// and the same order under every sort as the rows a list is given as texts.

#include "searchtesting.h"

#include "search/filesearch.h"
#include "search/queryparser.h"
#include "search/queryrun.h"

namespace mellowby::search {
namespace {

using tests::CatalogMaker;
using tests::kMarch15;

// Passes every row on as texts, as a list that keeps no references is given them.
class TextsOnly final : public IRowList {
public:
    explicit TextsOnly(FileList& list)
        : m_list(list)
    {
    }
    void clear() override { m_list.clear(); }
    void appendRow(std::string_view name, std::string_view size, std::string_view date, std::string_view directory,
        std::string_view catalog) override
    {
        m_list.appendRow(name, size, date, directory, catalog);
    }
    void appendNameOnly(std::string_view name) override { m_list.appendNameOnly(name); }
    void flush() override { m_list.flush(); }
    void finishFill() override { m_list.finishFill(); }

private:
    FileList& m_list;
};

// A list whose reader asks it to stop (Esc) as the search begins.
class StoppingList final : public IRowList {
public:
    void clear() override { }
    void appendRow(
        std::string_view name, std::string_view, std::string_view, std::string_view, std::string_view) override
    {
        rows.emplace_back(name);
    }
    void appendNameOnly(std::string_view name) override { rows.emplace_back(name); }
    void flush() override { }
    void finishFill() override { }
    bool stopped() const override { return true; }

    std::vector<std::string> rows;
};

// Rows of a query whose reader asks it to stop once the query has begun its first catalog.
class StoppingQueryRows final : public IQueryRows {
public:
    void appendRow(const QueryRow& row, const std::optional<names::FileFacts>&) override
    {
        rows.emplace_back(row.name);
    }
    void appendNameOnly(std::string_view name) override { rows.emplace_back(name); }
    void flush() override { }
    bool stopped() const override { return ++m_asked > 1; }

    std::vector<std::string> rows;

private:
    mutable int m_asked = 0;
};

std::size_t filesUnder(const std::filesystem::path& folder)
{
    std::size_t count = 0;
    if (std::filesystem::exists(folder))
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            count += entry.is_regular_file() ? 1 : 0;
    return count;
}

std::vector<FileRow> rowsOf(const FileList& list)
{
    std::vector<FileRow> rows;
    for (std::size_t i = 0; i < list.size(); ++i)
        rows.push_back(list.row(i));
    return rows;
}

class IndexRows : public testing::DataFolderTest {
protected:
    void writeCatalogs()
    {
        CatalogMaker maker(m_data);
        maker.directory("",
            { CatalogMaker::file("b.txt", 3000, kMarch15), CatalogMaker::dir("相册"),
                CatalogMaker::file("A.TXT", 1, kMarch15 + 86400), CatalogMaker::file("c.bin", 0) });
        maker.directory("相册",
            { CatalogMaker::file("照片.jpg", 1 << 20, kMarch15 - 86400 * 400), CatalogMaker::file("a.txt", 3000),
                CatalogMaker::dir("deep") });
        maker.directory("相册/deep", { CatalogMaker::file("Ä.txt", 12345678), CatalogMaker::file("a.txt", 1) });
        ASSERT_TRUE(maker.write("一号盘"));
        maker.reset();
        maker.directory("", { CatalogMaker::file("z.txt", 99), CatalogMaker::file("a.jpg", 5000) });
        ASSERT_TRUE(maker.write("Alpha"));
        loadAll();
    }
};

TEST_F(IndexRows, ASearchKeptAsReferencesGivesTheTextsAndEverySortOfThem)
{
    writeCatalogs();
    FileList byText("zh_CN");
    FileList byReference("zh_CN");
    for (const std::string text : { "a", "txt", "照" }) {
        TextsOnly texts(byText);
        cmdFind_Click(m_indexes, m_box, texts, text, SearchScope::of(m_browser, true));
        cmdFind_Click(m_indexes, m_box, byReference, text, SearchScope::of(m_browser, true));
        ASSERT_FALSE(rowsOf(byText).empty()) << text;
        EXPECT_EQ(rowsOf(byReference), rowsOf(byText)) << text;
        for (std::size_t column = 1; column <= kFileColumnCount; ++column) {
            for (int click = 0; click < 2; ++click) {
                byText.columnClick(column);
                byReference.columnClick(column);
                EXPECT_EQ(rowsOf(byReference), rowsOf(byText)) << text << ", column " << column;
            }
        }
    }
    EXPECT_TRUE(m_box.shown.empty());
}

// Enough rows that their keys are made on two threads, the second reading the indexes through
// copies of its own, and rows of two catalogs in one list: names alike for more than sixteen bytes of
// key, in both cases, repeated and Chinese. Every sort of the references is that of the texts.
TEST_F(IndexRows, ManyRowsOfTwoCatalogsSortAsTheirTexts)
{
    for (const std::string catalog : { "二号盘", "Beta" }) {
        // Other names at the same file numbers in each.
        const int shift = catalog == "Beta" ? 333 : 0;
        CatalogMaker maker(m_data);
        for (const std::string folder : { "相册", "Photos", "照片/2004" }) {
            std::vector<platform::DirEntry> files;
            for (int n = 0; n < 1100; ++n) {
                const int mixed = (n * 7919 + shift) % 1777;
                const std::string beginning = mixed % 3 == 0 ? "PHOTOGRAPH OF THE HOLIDAY "
                    : mixed % 3 == 1                         ? "photograph of the holiday "
                                                             : "年度报告 照片 ";
                files.push_back(CatalogMaker::file(beginning + std::to_string(mixed % 500) + ".jpg",
                    static_cast<std::uint64_t>(mixed) * 1000, kMarch15 + mixed * 86400));
            }
            maker.directory(folder, files);
        }
        maker.directory("", { CatalogMaker::dir("相册"), CatalogMaker::dir("Photos"), CatalogMaker::dir("照片") });
        maker.directory("照片", { CatalogMaker::dir("2004") });
        ASSERT_TRUE(maker.write(catalog));
    }
    loadAll();
    FileList byText("zh_CN");
    FileList byReference("zh_CN");
    TextsOnly texts(byText);
    cmdFind_Click(m_indexes, m_box, texts, ".jpg", SearchScope::of(m_browser, true));
    cmdFind_Click(m_indexes, m_box, byReference, ".jpg", SearchScope::of(m_browser, true));
    ASSERT_EQ(byText.size(), 6600U);
    ASSERT_EQ(rowsOf(byReference), rowsOf(byText));
    for (const std::size_t column : { 1, 4, 2, 1, 3 }) {
        for (int click = 0; click < 2; ++click) {
            byText.columnClick(column);
            byReference.columnClick(column);
            EXPECT_EQ(rowsOf(byReference), rowsOf(byText)) << "column " << column;
        }
    }
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(IndexRows, TheRowsOfASearchStayWhenTheCatalogIsScannedAgainMeanwhile)
{
    writeCatalogs();
    cmdFind_Click(m_indexes, m_box, m_list, "a", SearchScope::of(m_browser, true));
    const std::vector<FileRow> before = rowsOf(m_list);
    ASSERT_EQ(before.size(), 4U);

    CatalogMaker maker(m_data);
    maker.directory("", { CatalogMaker::file("other.txt", 7) });
    ASSERT_TRUE(maker.write("一号盘", nullptr, &m_indexes));
    FileList after("zh_CN");
    cmdFind_Click(m_indexes, m_box, after, "other", SearchScope::of(m_browser, true));
    ASSERT_EQ(after.size(), 1U);
    EXPECT_EQ(after.row(0), (FileRow { "other.txt", "1KB", after.row(0).date, "/media/cdrom/other.txt", "一号盘" }));

    EXPECT_EQ(rowsOf(m_list), before);
    m_list.columnClick(1);
    EXPECT_EQ(m_list.size(), before.size());
    EXPECT_TRUE(m_box.shown.empty());
}

// The first search of a large catalog makes its index; stopping it stops the making, which leaves
// no index behind and does not read the catalog some other way instead.
TEST_F(IndexRows, ASearchStoppedWhileTheIndexIsMadeGivesUpTheIndexAndReadsNothingElse)
{
    writeCatalogs();
    const auto cache = names::userCacheFolder();
    ASSERT_TRUE(cache);
    SearchScope scope = SearchScope::of(m_browser, false);
    scope.currentCatalog = "一号盘";
    const std::size_t kept = filesUnder(*cache);
    StoppingList stopped;
    cmdFind_Click(m_indexes, m_box, stopped, "a", scope);
    EXPECT_TRUE(stopped.rows.empty());
    EXPECT_EQ(filesUnder(*cache), kept);

    StoppingQueryRows stoppedQuery;
    findQueryRows(m_indexes, m_box, *parseQuery("a"), { "一号盘" }, stoppedQuery);
    EXPECT_TRUE(stoppedQuery.rows.empty());
    EXPECT_EQ(filesUnder(*cache), kept);

    cmdFind_Click(m_indexes, m_box, m_list, "a", scope);
    EXPECT_EQ(m_list.size(), 3U);
    EXPECT_EQ(filesUnder(*cache), kept + 1);
    EXPECT_TRUE(m_box.shown.empty());
}

} // namespace
} // namespace mellowby::search
