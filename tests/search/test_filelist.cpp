#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <string>
#include <vector>

#include "search/filelist.h"
#include "search/textcollator.h"

namespace mellowby::search {
namespace {

using Texts = std::vector<std::string>;

class RecordingObserver final : public FileListObserver {
public:
    explicit RecordingObserver(const FileList& list)
        : m_list(list)
    {
    }
    void beginReset() override { events.push_back("reset"); }
    void endReset() override { events.push_back("reset done " + std::to_string(m_list.size())); }
    void beginAppend(std::size_t first, std::size_t last) override
    {
        events.push_back(
            "append " + std::to_string(first) + "-" + std::to_string(last) + " over " + std::to_string(m_list.size()));
    }
    void endAppend() override { events.push_back("append done " + std::to_string(m_list.size())); }

    Texts events;

private:
    const FileList& m_list;
};

class List : public ::testing::Test {
protected:
    void fill(const std::vector<FileRow>& rows)
    {
        m_list.clear();
        for (const auto& r : rows) {
            const std::string directory = r.location.substr(0, r.location.size() - r.name.size());
            m_list.appendRow(r.name, r.size, r.date, directory, r.catalog);
        }
        m_list.finishFill();
    }
    Texts column(FileColumn which) const
    {
        Texts cells;
        for (std::size_t i = 0; i < m_list.size(); ++i)
            cells.push_back(m_list.cell(i, which));
        return cells;
    }
    void fillColumn(FileColumn which, const Texts& texts)
    {
        std::vector<FileRow> rows;
        for (const auto& text : texts) {
            FileRow r { "n", "1KB", "d", "/n", "c" };
            if (which == FileColumn::FName)
                r = { text, "1KB", "d", "/" + text, "c" };
            else if (which == FileColumn::FSize)
                r.size = text;
            else if (which == FileColumn::FDate)
                r.date = text;
            else if (which == FileColumn::FXml)
                r.catalog = text;
            rows.push_back(r);
        }
        fill(rows);
    }

    FileList m_list;
};

TEST_F(List, ObserverSeesResetsAndBatches)
{
    RecordingObserver observer(m_list);
    m_list.setObserver(&observer);
    m_list.clear();
    for (std::size_t i = 0; i < FileList::kAppendBatch + 10; ++i)
        m_list.appendRow("f" + std::to_string(i), "1KB", "d", "/dir/", "");
    EXPECT_EQ(m_list.size(), FileList::kAppendBatch);
    m_list.finishFill();
    EXPECT_EQ(observer.events,
        (Texts { "reset", "reset done 0", "append 0-4095 over 0", "append done 4096", "append 4096-4105 over 4096",
            "append done 4106" }));
    EXPECT_EQ(m_list.row(4100), (FileRow { "f4100", "1KB", "d", "/dir/f4100", "" }));

    observer.events.clear();
    m_list.columnClick(1);
    m_list.appendRow("a", "1KB", "d", "/", "");
    m_list.finishFill(); // sorting is on: the new row is sorted in, as a reset
    EXPECT_EQ(observer.events,
        (Texts { "reset", "reset done 4106", "append 4106-4106 over 4106", "append done 4107", "reset",
            "reset done 4107" }));
    EXPECT_EQ(m_list.cell(0, FileColumn::FName), "a");
}

TEST_F(List, ColumnClickTogglesOnEveryClick)
{
    EXPECT_FALSE(m_list.sortState().sorted);
    fill({ { "b", "2KB", "d", "/b", "" }, { "a", "1KB", "d", "/a", "" }, { "c", "3KB", "d", "/c", "" } });
    EXPECT_EQ(column(FileColumn::FName), (Texts { "b", "a", "c" })); // no sorting before a click

    m_list.columnClick(1);
    EXPECT_TRUE(m_list.sortState().sorted);
    EXPECT_EQ(m_list.sortState().order, SortOrder::Ascending);
    EXPECT_EQ(column(FileColumn::FName), (Texts { "a", "b", "c" }));
    m_list.columnClick(1);
    EXPECT_EQ(column(FileColumn::FName), (Texts { "c", "b", "a" }));
    m_list.columnClick(1);
    // A new column after an ascending sort sorts descending.
    m_list.columnClick(2);
    EXPECT_EQ(m_list.sortState().key, 1u);
    EXPECT_EQ(m_list.sortState().order, SortOrder::Descending);
    EXPECT_EQ(column(FileColumn::FSize), (Texts { "3KB", "2KB", "1KB" }));

    // Later fills come out sorted.
    fill({ { "x", "1KB", "d", "/x", "" }, { "y", "5KB", "d", "/y", "" } });
    EXPECT_EQ(column(FileColumn::FName), (Texts { "y", "x" }));
}

TEST_F(List, SizesSortByTheirNumber)
{
    fillColumn(FileColumn::FSize, { "10KB", "9KB", "abc", "0100KB", "", "0KB", "99999999999999999999999KB" });
    m_list.columnClick(2);
    EXPECT_EQ(
        column(FileColumn::FSize), (Texts { "0KB", "9KB", "10KB", "0100KB", "99999999999999999999999KB", "", "abc" }));
}

TEST_F(List, EqualSizesDatesAndCatalogsKeepTheOrderOfTheFillEitherWay)
{
    fill({ { "a", "1KB", "2004年3月15日", "/a", "x" }, { "b", "2KB", "2004年3月16日", "/b", "y" },
        { "c", "1KB", "2004年3月15日", "/c", "x" }, { "d", "2KB", "2004年3月16日", "/d", "y" } });
    for (const std::size_t key : { 2U, 3U, 5U }) {
        m_list.columnClick(key);
        if (m_list.sortState().order != SortOrder::Ascending)
            m_list.columnClick(key);
        EXPECT_EQ(column(FileColumn::FName), (Texts { "a", "c", "b", "d" })) << "column " << key;
        m_list.columnClick(key);
        EXPECT_EQ(column(FileColumn::FName), (Texts { "b", "d", "a", "c" })) << "column " << key;
    }
}

TEST_F(List, DatesSortByTheDayTheyName)
{
    fillColumn(FileColumn::FDate,
        { "2004年3月15日", "not a date", "March 1, 2004", "2003年12月31日", "2004年13月45日", "2004年3月2日" });
    m_list.columnClick(3);
    EXPECT_EQ(column(FileColumn::FDate),
        (Texts { "2003年12月31日", "March 1, 2004", "2004年3月2日", "2004年3月15日", "2004年13月45日", "not a date" }));
}

TEST_F(List, TextColumnsIgnoreLetterCaseAndKeepTies)
{
    fillColumn(FileColumn::FName, { "b", "Ä", "A", "a", "ä", "C" });
    m_list.columnClick(1);
    EXPECT_EQ(column(FileColumn::FName), (Texts { "A", "a", "Ä", "ä", "b", "C" }));
    m_list.columnClick(1);
    EXPECT_EQ(column(FileColumn::FName), (Texts { "C", "b", "Ä", "ä", "A", "a" }));

    // Names alike past the first characters are told apart, and tied, by the rest of their keys.
    fillColumn(FileColumn::FName,
        { "photograph 2b.jpg", "PHOTOGRAPH 2A.JPG", "photograph 2a.jpg", "photograph 2.jpg", "photograph 2a.jpeg" });
    m_list.columnClick(1);
    EXPECT_EQ(column(FileColumn::FName),
        (Texts {
            "photograph 2.jpg", "photograph 2a.jpeg", "PHOTOGRAPH 2A.JPG", "photograph 2a.jpg", "photograph 2b.jpg" }));
    m_list.columnClick(1);
    EXPECT_EQ(column(FileColumn::FName),
        (Texts {
            "photograph 2b.jpg", "PHOTOGRAPH 2A.JPG", "photograph 2a.jpg", "photograph 2a.jpeg", "photograph 2.jpg" }));

    fillColumn(FileColumn::FXml, { "beta", "Alpha", "alpha", "" });
    m_list.columnClick(5);
    EXPECT_EQ(column(FileColumn::FXml), (Texts { "", "Alpha", "alpha", "beta" }));
}

// Lists long enough to be sorted on two threads: names alike for their first twenty bytes and more,
// letter case and ties, Chinese and Latin; the order is the one whole keys give, ties by their rows.
TEST(ManyRows, SortByNameAndLocationAsWholeKeysOrderThem)
{
    constexpr std::size_t kRows = 100000;
    const auto nameOf = [](std::size_t n) {
        static const std::vector<std::string> kBeginnings
            = { "年度报告 ", "PHOTOGRAPH OF ", "photograph of ", "Álbum ", "album ", "数据备份 ", "zeta " };
        const std::size_t mixed = (n * 7919) % 30011;
        return kBeginnings[mixed % kBeginnings.size()] + std::to_string(mixed % 977)
            + (mixed % 2 == 0 ? ".jpg" : ".JPG");
    };
    FileList list("zh_CN");
    for (std::size_t n = 0; n < kRows; ++n)
        list.appendRow(nameOf(n), "1KB", "d", "/光盘/" + std::to_string(n % 89) + "/", "c");
    list.finishFill();
    std::vector<FileRow> rows;
    for (std::size_t i = 0; i < kRows; ++i)
        rows.push_back(list.row(i));

    TextCollator collator("zh_CN");
    for (const FileColumn column : { FileColumn::FName, FileColumn::FLocate }) {
        std::vector<std::string> keys;
        for (const FileRow& row : rows) {
            keys.emplace_back();
            collator.appendKey(keys.back(), column == FileColumn::FName ? row.name : row.location);
        }
        for (const bool descending : { false, true }) {
            std::vector<std::size_t> expected(kRows);
            std::iota(expected.begin(), expected.end(), std::size_t { 0 });
            std::ranges::stable_sort(expected,
                [&](std::size_t a, std::size_t b) { return descending ? keys[a] > keys[b] : keys[a] < keys[b]; });
            // The list is in the order of the fill before each first click on a column.
            if (!descending) {
                list.clear();
                for (const FileRow& row : rows)
                    list.appendRow(row.name, row.size, row.date,
                        row.location.substr(0, row.location.size() - row.name.size()), row.catalog);
                list.finishFill();
            }
            list.columnClick(static_cast<std::size_t>(column) + 1);
            std::size_t wrong = 0;
            for (std::size_t i = 0; i < kRows; ++i)
                wrong += list.row(i) == rows[expected[i]] ? 0 : 1;
            EXPECT_EQ(wrong, 0U) << "column " << static_cast<int>(column) << (descending ? ", descending" : "");
        }
    }
}

TEST_F(List, LocationsSortAsTheWholeText)
{
    fill({ { "zeta", "1KB", "d", "/a/zeta", "" }, { "x", "1KB", "d", "/A/b/x", "" }, { "b", "1KB", "d", "/a/b", "" },
        { "", "1KB", "d", "/a/", "" } });
    m_list.appendNameOnly("only");
    m_list.finishFill();
    EXPECT_EQ(m_list.row(4), (FileRow { "only", "", "", "", "" }));
    m_list.columnClick(4);
    EXPECT_EQ(column(FileColumn::FLocate), (Texts { "", "/a/", "/a/b", "/A/b/x", "/a/zeta" }));
}

} // namespace
} // namespace mellowby::search

namespace mellowby::search {
namespace {

// Text columns sort as the user's locale orders them, letter case ignored, Latin before Chinese:
// Chinese names by their pinyin under zh_CN (changcheng, duwo, niandu), by the order of the
// characters elsewhere.
TEST(ListCollation, ChineseNamesSortByPinyinUnderZhCn)
{
    const Texts names { "年度报告.doc", "Zebra.txt", "读我.txt", "长城.jpg", "apple.txt" };
    const std::pair<std::string, Texts> cases[] {
        { "zh_CN", { "apple.txt", "Zebra.txt", "长城.jpg", "读我.txt", "年度报告.doc" } },
        { "en_US", { "apple.txt", "Zebra.txt", "年度报告.doc", "读我.txt", "长城.jpg" } },
    };
    for (const auto& [locale, expected] : cases) {
        FileList list { locale };
        list.clear();
        for (const auto& name : names)
            list.appendRow(name, "1KB", "d", "/光盘/", name);
        list.finishFill();
        for (const std::size_t column : { 1u, 4u, 5u }) {
            list.columnClick(column);
            if (list.sortState().order != SortOrder::Ascending)
                list.columnClick(column);
            Texts sorted;
            for (std::size_t i = 0; i < list.size(); ++i)
                sorted.push_back(list.cell(i, FileColumn::FName));
            EXPECT_EQ(sorted, expected) << locale << ", column " << column;
        }
    }
}

} // namespace
} // namespace mellowby::search
