// A catalog whose names index outgrows what is held in memory while it is made: the index kept in
// the cache gives, row for row, what the document model gives.

#include "searchtesting.h"

#include "search/filesearch.h"
#include "support/indexcomparison.h"

namespace mellowby::search {
namespace {

class SpilledIndex : public testing::DataFolderTest { };

TEST_F(SpilledIndex, RowsAreTheDocumentModels)
{
    // 150,000 names of some forty bytes: more than the few megabytes a section keeps in memory.
    std::string body;
    for (int file = 0; file < 150'000; ++file) {
        if (file % 1000 == 0)
            body += (file > 0 ? "</Directory>\r\n" : "") + std::string("<Directory title=\"folder ")
                + std::to_string(file / 1000) + "\" CreateDate=\"d\">\r\n";
        body += "<File CreateDate=\"2004年5月" + std::to_string(file % 28 + 1) + "日\" FileSize=\""
            + std::to_string(file % 977) + "KB\">" + (file % 5 == 0 ? "Straße " : "a long name of a file on the disc ")
            + std::to_string(file) + ".jpg</File>\r\n";
    }
    writeRaw("big", "<Disk title=\"big\" Label=\"/media/big\">", body + "</Directory>");

    const names::NamesIndexCache model(m_store, std::nullopt, true);
    for (const std::string text : { "STRASSE 14", "7.JPG", "" }) {
        tests::RecordedRows indexed;
        tests::RecordedRows read;
        findFileInXml(m_indexes, m_box, indexed, text, "big");
        findFileInXml(model, m_box, read, text, "big");
        EXPECT_EQ(indexed.rows.size(), read.rows.size()) << text;
        EXPECT_TRUE(indexed.rows == read.rows) << text;
    }
    // The rows came from the index, not from the catalog read again.
    const auto index = m_indexes.indexOf("big");
    ASSERT_TRUE(index.has_value());
    EXPECT_FALSE(index->readsDirectly());
    EXPECT_TRUE(std::filesystem::exists(*m_indexes.indexPath("big.xml")));
    EXPECT_TRUE(m_box.shown.empty());
}

} // namespace
} // namespace mellowby::search
