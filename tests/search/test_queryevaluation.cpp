#include "querytesting.h"

#include "search/filesearch.h"

namespace mellowby::search {
namespace {

using testing::FactsByCatalog;
using testing::LocalZone;
using testing::Names;
using tests::CatalogMaker;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::int64_t kNs = 1'000'000'000;
constexpr std::int64_t kJune2005 = 1118000000; // 2005-06-05, in the afternoon UTC

// Two discs and an other catalog, each with the same tree:
//   a.JPG, photo 2004.png, Docs/{report.TXT, Report-old.txt, Sub?/deep.jpg}, big.iso
class Query : public testing::DataFolderTest {
protected:
    Query()
    {
        for (const char* name : { "Disc 1", "Disc 2", "Other" }) {
            CatalogMaker maker(m_data);
            maker.directory("",
                { CatalogMaker::file("a.JPG", 3000), CatalogMaker::file("photo 2004.png", 0), CatalogMaker::dir("Docs"),
                    CatalogMaker::file("big.iso", 700 * kMiB + 1, kJune2005) });
            maker.directory("Docs",
                { CatalogMaker::file("report.TXT", 12 * 1024), CatalogMaker::file("Report-old.txt", 12 * 1024 + 1),
                    CatalogMaker::dir("Sub?") });
            maker.directory("Docs/Sub?", { CatalogMaker::file("deep.jpg", 4096) });
            EXPECT_TRUE(maker.write(name));
        }
        loadAll();
    }

    // The locations found in Disc 1 (its rows alone), with the facts given.
    Names inDisc1(const std::string& query, const FactsByCatalog& facts = {})
    {
        Names locations;
        for (const std::string& text : testing::foundBy(m_indexes, m_box, query, { "Disc 1" }, facts))
            locations.push_back(text.substr(text.find('|') + 1 + std::string("/media/cdrom/").size()));
        return locations;
    }
};

TEST_F(Query, SizesFromTheTextsAsKilobytes)
{
    EXPECT_EQ(inDisc1("size:>700mb"), Names { "big.iso" });
    EXPECT_EQ(inDisc1("size:empty"), Names { "photo 2004.png" });
    // 12KB and 13KB: <=12kb tells them apart as the exact sizes would.
    EXPECT_EQ(inDisc1("size:<=12kb path:docs"), (Names { "Docs/report.TXT", "Docs/Sub?/deep.jpg" }));
    EXPECT_EQ(inDisc1("size:>12kb ext:txt"), Names { "Docs/Report-old.txt" });
    // "4KB" may be anything in (3 KiB, 4 KiB]: it fits both sides of the bound at 4kb.
    EXPECT_EQ(inDisc1("size:>=4kb ext:jpg"), Names { "Docs/Sub?/deep.jpg" });
    EXPECT_EQ(inDisc1("size:<4kb ext:jpg"), (Names { "a.JPG", "Docs/Sub?/deep.jpg" }));
    EXPECT_EQ(inDisc1("size:1mb..4gb"), Names { "big.iso" });
}

TEST_F(Query, DatesFromTheTextsAsThatDay)
{
    EXPECT_EQ(inDisc1("dm:2005-06-05"), Names { "big.iso" });
    EXPECT_EQ(inDisc1("dm:2004-03 ext:txt"), (Names { "Docs/report.TXT", "Docs/Report-old.txt" }));
    EXPECT_EQ(inDisc1("dm:2003..2005 ext:iso"), Names { "big.iso" });
    EXPECT_EQ(inDisc1("dm:>=2004-03-16"), Names { "big.iso" });
    EXPECT_EQ(inDisc1("dm:<2004-03-15"), Names {});
}

TEST_F(Query, ExactFactsWhereTheCatalogHasThem)
{
    const LocalZone shanghai("Asia/Shanghai");
    // 2004-03-15 16:30 UTC is 00:30 on the 16th in Shanghai.
    constexpr std::int64_t kLateOn15th = (1079308800 + 16 * 3600 + 1800) * kNs;
    const FactsByCatalog facts = { { "Disc 1",
        { { 3000, kLateOn15th, 1 }, { 0, kLateOn15th - 3600 * kNs, 5 }, { 12288, 0, 6 }, { 12289, 0, 10 },
            { 4096, 0, 4 }, { 734003201, kJune2005 * kNs, 3 } } } };
    EXPECT_EQ(inDisc1("dm:2004-03-16", facts), Names { "a.JPG 3000@" + std::to_string(kLateOn15th) });
    EXPECT_EQ(
        inDisc1("dm:2004-03-15", facts), Names { "photo 2004.png 0@" + std::to_string(kLateOn15th - 3600 * kNs) });
    EXPECT_EQ(inDisc1("dm:1970-01-01", facts),
        (Names { "Docs/report.TXT 12288@0", "Docs/Report-old.txt 12289@0", "Docs/Sub?/deep.jpg 4096@0" }));
    // Days beyond what nanoseconds since 1970 can hold.
    EXPECT_EQ(inDisc1("dm:0056-03 | dm:>9000", facts), Names {});
    EXPECT_EQ(inDisc1("dm:>=0056 size:>12kb", facts),
        (Names { "Docs/Report-old.txt 12289@0", "big.iso 734003201@" + std::to_string(kJune2005 * kNs) }));
    // Exact sizes: 4096 is not below 4kb, 3000 is; the facts come with each row.
    EXPECT_EQ(inDisc1("size:<4kb ext:jpg", facts), Names { "a.JPG 3000@" + std::to_string(kLateOn15th) });
    EXPECT_EQ(inDisc1("size:12289", facts), Names { "Docs/Report-old.txt 12289@0" });
    // Other catalogs have none: their texts decide.
    EXPECT_EQ(testing::foundBy(m_indexes, m_box, "size:<4kb ext:jpg", { "Disc 2" }, facts),
        (Names { "Disc 2|/media/cdrom/a.JPG", "Disc 2|/media/cdrom/Docs/Sub?/deep.jpg" }));
}

TEST_F(Query, NamesTypesPathsAndRegularExpressions)
{
    EXPECT_EQ(inDisc1("REPORT old"), Names { "Docs/Report-old.txt" });
    EXPECT_EQ(inDisc1("\"photo 2004\""), Names { "photo 2004.png" });
    EXPECT_EQ(inDisc1("ext:jpg;.PNG"), (Names { "a.JPG", "photo 2004.png", "Docs/Sub?/deep.jpg" }));
    EXPECT_EQ(inDisc1("path:sub?/"), Names { "Docs/Sub?/deep.jpg" });
    EXPECT_EQ(inDisc1("case:path:/docs/"), Names {});
    EXPECT_EQ(inDisc1(R"(regex:^r.*\.txt$)"), (Names { "Docs/report.TXT", "Docs/Report-old.txt" }));
    EXPECT_EQ(inDisc1(R"(case:regex:^R)"), Names { "Docs/Report-old.txt" });
    EXPECT_EQ(inDisc1("case:TXT"), Names { "Docs/report.TXT" });
}

TEST_F(Query, OperatorsAndGroups)
{
    EXPECT_EQ(inDisc1("(jpg | png) !photo"), (Names { "a.JPG", "Docs/Sub?/deep.jpg" }));
    EXPECT_EQ(inDisc1("NOT (ext:jpg OR ext:txt) !iso"), Names { "photo 2004.png" });
    EXPECT_EQ(inDisc1("report !!old"), Names { "Docs/Report-old.txt" });
}

TEST_F(Query, CatalogsByPatternFoldersAndTheOrderOfRows)
{
    const std::vector<std::string> all = { "Other", "Disc 2", "Disc 1" };
    // Catalogs in the order given, each in document order.
    EXPECT_EQ(testing::foundBy(m_indexes, m_box, "jpg", all),
        (Names { "Other|/media/cdrom/a.JPG", "Other|/media/cdrom/Docs/Sub?/deep.jpg", "Disc 2|/media/cdrom/a.JPG",
            "Disc 2|/media/cdrom/Docs/Sub?/deep.jpg", "Disc 1|/media/cdrom/a.JPG",
            "Disc 1|/media/cdrom/Docs/Sub?/deep.jpg" }));
    EXPECT_EQ(testing::foundBy(m_indexes, m_box, "in:disc* deep", all),
        (Names { "Disc 2|/media/cdrom/Docs/Sub?/deep.jpg", "Disc 1|/media/cdrom/Docs/Sub?/deep.jpg" }));
    EXPECT_EQ(testing::foundBy(m_indexes, m_box, "in:\"disc ?\";oth?r big", { "Disc 1", "Other" }),
        (Names { "Disc 1|/media/cdrom/big.iso", "Other|/media/cdrom/big.iso" }));
    EXPECT_EQ(testing::foundBy(m_indexes, m_box, "in:disc big", all), Names {});
    // folder: makes folders the rows, each with its location.
    EXPECT_EQ(testing::foundBy(m_indexes, m_box, "folder: in:\"disc 1\"", all),
        (Names { "Disc 1|/media/cdrom/Docs/", "Disc 1|/media/cdrom/Docs/Sub?/" }));
    EXPECT_EQ(
        testing::foundBy(m_indexes, m_box, "folder:sub in:disc?2", all), Names { "Disc 2|/media/cdrom/Docs/Sub?/" });
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(Query, PlainWordGivesTheRowsOfTheSearch)
{
    for (const char* word : { "jpg", "o", "report", "?", "nothing" }) {
        cmdFind_Click(m_indexes, m_box, m_list, word, SearchScope::of(m_browser, true));
        Names searched;
        for (std::size_t i = 0; i < m_list.size(); ++i)
            searched.push_back(m_list.cell(i, FileColumn::FXml) + "|" + m_list.cell(i, FileColumn::FLocate));
        EXPECT_EQ(testing::foundBy(m_indexes, m_box, word, SearchScope::of(m_browser, true).loadedCatalogs), searched)
            << word;
    }
}

} // namespace
} // namespace mellowby::search
