// Disc image files scanned as the discs they hold: the pair, its database and the record of its
// volume made from an xorriso image with Joliet names, and the files that are no readable image
// refused in words, with nothing left in the Data folder.

#include "catalogdb/sqlitehandles.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>

#include "app/settings.h"
#include "archive/archivetools.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "catalog/volumerecord.h"
#include "fakes/fakemessagebox.h"
#include "fakes/fakevolumes.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/scanner.h"
#include "support/temporaryfolder.h"

namespace mellowby::scan {
namespace {

using tests::quoted;
using tests::readFile;
using tests::run;
using tests::writeFile;

constexpr std::int64_t kTime = 1600000000;

class ImageScans : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_TOOL("xorriso");
        writeFile(m_folder / "src/readme.txt", "hello\n");
        writeFile(m_folder / "src/照片/旅行 2004/长城 的 照片.jpg", std::string(5000, 'j'));
        run("find " + quoted(m_folder / "src") + " -exec touch -h -d @" + std::to_string(kTime) + " {} +");
        run("xorriso -as mkisofs -quiet -J -R -V '光盘 2004' -volset SET1 --modification-date=2020091312264000 -o "
            + quoted(image()) + " " + quoted(m_folder / "src"));
    }

    std::string image() const { return m_folder / "disc.iso"; }

    std::expected<ScanResult, ScanFailure> scan(const std::string& path, bool checksums = false)
    {
        ScanContext context { m_store, m_settings, m_lister, m_box, m_dates, nullptr, nullptr, &m_volumes };
        if (checksums)
            context.checksums = digest::DigestAlgorithm::Xxh128;
        return genXml(context, path, "disc");
    }

    tests::TemporaryFolder m_folder;
    tests::TemporaryFolder m_data;
    platform::LinuxFileSystem m_fileSystem;
    catalog::CatalogStore m_store { m_data.path(), m_fileSystem };
    app::Settings m_settings;
    platform::LinuxDirectoryLister m_lister;
    fakes::FakeMessageBox m_box;
    catalog::DateFormatter m_dates { "zh_CN" };
    fakes::FakeVolumes m_volumes;
    const platform::Volume m_root { "", "", "ext4", 1, "/dev/sda2", "/", "/" };
};

// Each entry of the database by its path from the top: size and modification time.
std::map<std::string, std::pair<std::int64_t, std::int64_t>> entriesIn(const std::string& database)
{
    catalogdb::SqliteConnection connection(database, SQLITE_OPEN_READONLY, nullptr);
    catalogdb::SqliteStatement rows(connection,
        "WITH RECURSIVE path(id, text) AS (SELECT id, '' FROM entries WHERE parent IS NULL"
        " UNION ALL SELECT e.id, path.text || '/' || e.name FROM entries e JOIN path ON e.parent = path.id)"
        " SELECT path.text, e.size, e.mtime_ns FROM entries e JOIN path ON path.id = e.id WHERE e.parent IS NOT NULL");
    std::map<std::string, std::pair<std::int64_t, std::int64_t>> entries;
    while (rows.step())
        entries[std::string(rows.text(0))] = { rows.integer(1), rows.integer(2) };
    return entries;
}

TEST_F(ImageScans, AnImageIsCataloguedAsItsDiscWithTheImagePathAsLabel)
{
    m_volumes.mounted = { m_root };
    const auto scanned = scan(image());
    ASSERT_TRUE(scanned.has_value()) << (m_box.shown.empty() ? "" : m_box.shown.back().text);
    EXPECT_TRUE(m_box.shown.empty());
    EXPECT_EQ(scanned->totals.files, 2u);
    EXPECT_EQ(scanned->totals.bytes, 5006u);
    EXPECT_EQ(scanned->totals.directories, 3u);

    const std::string xml = readFile(m_data / "disc.xml");
    EXPECT_NE(xml.find("<Disk title=\"disc\" Label=\"" + image() + "\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find(">readme.txt</File>"), std::string::npos) << xml;

    constexpr std::int64_t kNs = kTime * 1'000'000'000;
    const auto entries = entriesIn(m_data / "disc.sqlite");
    EXPECT_EQ(entries.at("/readme.txt"), std::pair(std::int64_t { 6 }, kNs));
    EXPECT_EQ(entries.at("/照片/旅行 2004/长城 的 照片.jpg"), std::pair(std::int64_t { 5000 }, kNs));
    EXPECT_EQ(entries.at("/照片/旅行 2004").second, kNs);
    EXPECT_EQ(entries.size(), 4u);

    const auto record = m_store.volumeRecord("disc");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->scannedPath, image());
    EXPECT_EQ(record->volume, m_root);
    EXPECT_EQ(record->relativePath, image().substr(1));
    ASSERT_TRUE(record->image.has_value());
    EXPECT_EQ(*record->image,
        (catalog::DiscImageRecord {
            "光盘 2004", "光盘 2004", "SET1", kTime, static_cast<std::uint64_t>(std::filesystem::file_size(image())) }))
        << record->image->volumeIdentifier;

    // An image on a volume that cannot be told keeps what it says of itself.
    m_volumes.failure = platform::errorFromErrno(EOPNOTSUPP);
    m_box.queueAnswer(platform::MessageAnswer::Yes);
    ASSERT_TRUE(scan(image()));
    const auto unplaced = m_store.volumeRecord("disc");
    ASSERT_TRUE(unplaced.has_value());
    EXPECT_EQ(unplaced->volume, platform::Volume {});
    EXPECT_EQ(unplaced->image->label, "光盘 2004");
}

TEST_F(ImageScans, AFileThatIsNoReadableImageIsRefusedAndLeavesNoCatalog)
{
    writeFile(m_folder / "notes.iso", std::string(100'000, 'n'));
    std::string udf(64 * 1024, '\0');
    for (const auto& [sector, identifier] : { std::pair { 16, "BEA01" }, { 17, "NSR02" }, { 18, "TEA01" } })
        udf.replace(sector * 2048 + 1, 5, identifier);
    writeFile(m_folder / "udf.iso", udf);
    const std::string whole = readFile(image());
    writeFile(m_folder / "cut.iso", whole.substr(0, whole.size() / 2));

    const std::pair<std::string, std::string> cases[] = {
        { m_folder / "notes.iso", "这个文件不是可以读取的光盘映像。" },
        { m_folder / "udf.iso", "此光盘映像是 UDF 格式，无法读取。" },
        { m_folder / "cut.iso", "光盘映像已损坏或不完整，无法读取。" },
    };
    for (const auto& [path, text] : cases) {
        m_box.shown.clear();
        EXPECT_EQ(scan(path).error(), ScanFailure::Failed) << path;
        ASSERT_EQ(m_box.shown.size(), 1u) << path;
        EXPECT_EQ(m_box.shown[0].text, text);
    }
    // Digests are read from the machine's files, which an image's are not.
    m_box.shown.clear();
    EXPECT_EQ(scan(image(), true).error(), ScanFailure::Failed);
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0].text, "扫描光盘映像时不能计算文件的校验和。");
    EXPECT_TRUE(tests::namesIn(m_data.path()).empty());
}

} // namespace
} // namespace mellowby::scan
