#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "catalog/volumerecord.h"
#include "fakes/fakedirectorylister.h"
#include "fakes/fakemessagebox.h"
#include "fakes/fakevolumes.h"
#include "fakes/faultyfilesystem.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/scanner.h"
#include "support/temporaryfolder.h"

namespace mellowby::scan {
using namespace catalog;
namespace {

namespace fs = std::filesystem;
using tests::readFile;
using tests::writeFile;

const VolumeRecord kPhotos { { "1234-ABCD", "PHOTOS", "vfat", 8004304896, "/dev/sdb1", "/media/ann/PHOTOS", "/" },
    "2004/trip", "/media/ann/PHOTOS/2004/trip" };

constexpr std::string_view kPhotosText = "# Mellowby：此目录扫描时所在的卷\n"
                                         "uuid=1234-ABCD\n"
                                         "label=PHOTOS\n"
                                         "type=vfat\n"
                                         "size=8004304896\n"
                                         "device=/dev/sdb1\n"
                                         "mountpoint=/media/ann/PHOTOS\n"
                                         "root=/\n"
                                         "path=2004/trip\n"
                                         "scanned=/media/ann/PHOTOS/2004/trip\n";

// Names may hold any byte but NUL; they come back byte for byte. Lines may come in any order, with
// the CR LF of a hand edit and keys of a later version.
TEST(VolumeRecordFile, OneKeyAndValueALineReadBackExactly)
{
    EXPECT_EQ(formatVolumeRecord(kPhotos), kPhotosText);
    EXPECT_EQ(parseVolumeRecord(kPhotosText), kPhotos);
    VolumeRecord odd = kPhotos;
    odd.volume.label = "a\\b\nc\rd\te\x01\x7F";
    odd.volume.mountPoint = "/media/ann/\xFF\xE7\x85 照片";
    const std::string text = formatVolumeRecord(odd);
    EXPECT_NE(text.find("\nlabel=a\\\\b\\nc\\rd\\te\\x01\\x7F\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nmountpoint=/media/ann/\\xFF\\xE7\\x85 照片\n"), std::string::npos) << text;
    EXPECT_EQ(parseVolumeRecord(text), odd);
    EXPECT_EQ(parseVolumeRecord("scanned=/a/b\r\n\r\nlater=1\r\npath=b\r\nmountpoint=/a\r\n")->relativePath, "b");
}

// A disc image's own keys follow the others, so a reader before them takes the record as one of
// the volume holding the image; one on a volume that could not be told has no mount point.
TEST(VolumeRecordFile, ADiscImageKeepsWhatItSaysOfItself)
{
    VolumeRecord image = kPhotos;
    image.scannedPath += "/disc.iso";
    image.image = DiscImageRecord { "光盘 2004", "CD2004", "SET\x01", -5, 2048 };
    const std::string text = formatVolumeRecord(image);
    EXPECT_EQ(text,
        std::string(kPhotosText).insert(kPhotosText.size() - 1, "/disc.iso")
            + "image=iso9660\nimage.label=光盘 2004\nimage.volume=CD2004\nimage.volumeset=SET\\x01\n"
              "image.created=-5\nimage.size=2048\n");
    EXPECT_EQ(parseVolumeRecord(text), image);
    image.image->creationTime.reset();
    EXPECT_EQ(parseVolumeRecord(formatVolumeRecord(image)), image);

    const VolumeRecord unplaced { {}, "", "/net/disc.iso", DiscImageRecord { "A", "A", "", 0, 0 } };
    EXPECT_EQ(parseVolumeRecord(formatVolumeRecord(unplaced)), unplaced);
    // Without its key "image", no mount point is no record, as before.
    EXPECT_EQ(parseVolumeRecord("scanned=/net/disc.iso\nimage.label=A\n"), std::nullopt);
    EXPECT_EQ(parseVolumeRecord(text + "image.size=x\n"), std::nullopt);
    EXPECT_EQ(parseVolumeRecord(text + "image.created=1.5\n"), std::nullopt);
}

TEST(VolumeRecordFile, DamagedTextIsNoRecord)
{
    const std::string whole(kPhotosText);
    for (const std::string& damaged : { std::string(), whole.substr(0, whole.find("scanned=")),
             std::string("scanned=/a\n"), whole + "size=12x\n", whole + "size=-1\n", whole + "label=\\q\n",
             whole + "label=a\\\n", whole + "label=\\x4\n", whole + "just words\n", whole + "mountpoint=\n" })
        EXPECT_EQ(parseVolumeRecord(damaged), std::nullopt) << damaged;
}

class VolumeRecordStore : public ::testing::Test {
protected:
    std::vector<std::string> dataFiles() { return tests::namesIn(m_data.path()); }
    // Writes a catalog as the scanner does, with the record of its volume when one is given.
    static std::expected<CatalogPaths, platform::Error> write(const CatalogStore& store, const std::string& name,
        const std::string& text, const std::optional<VolumeRecord>& record)
    {
        auto pending = store.beginCatalog(name);
        if (!pending)
            return std::unexpected(pending.error());
        (void)pending->catalog().write(text + " catalog");
        (void)pending->twin().write(text + " twin");
        if (record)
            (void)pending->recordVolume(*record);
        return pending->commit();
    }

    tests::TemporaryFolder m_data;
    platform::LinuxFileSystem m_fileSystem;
    CatalogStore m_store { m_data.path(), m_fileSystem };
};

// The record is written, replaced, found and removed with its catalog, in any letter case; a
// commit that fails at the record or at the catalog leaves the old catalog with its own record.
TEST_F(VolumeRecordStore, TheRecordGoesWithItsCatalog)
{
    ASSERT_TRUE(write(m_store, "disc", "old", kPhotos));
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.vol", "disc.xml" }));
    EXPECT_EQ(readFile(m_data / "disc.vol"), kPhotosText);
    EXPECT_EQ(m_store.volumeRecord("DISC"), kPhotos);
    EXPECT_EQ(catalogFileNames("abc.XML").companionName(Companion::VolumeRecord), "abc.vol");

    VolumeRecord other = kPhotos;
    other.volume.uuid = "5678-EF01";
    for (const char* failing : { ".vol", ".xml" }) {
        fakes::FaultyFileSystem faulty(m_fileSystem);
        faulty.failCommitsOf(failing, platform::errorFromErrno(EIO));
        EXPECT_EQ(write(CatalogStore(m_data.path(), faulty), "disc", "new", other).error().number, EIO) << failing;
        EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.vol", "disc.xml" })) << failing;
        EXPECT_EQ(readFile(m_data / "disc.idx") + readFile(m_data / "disc.xml"), "old twinold catalog") << failing;
        EXPECT_EQ(m_store.volumeRecord("disc"), kPhotos) << failing;
    }

    ASSERT_TRUE(write(m_store, "Disc", "other", other));
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "Disc.idx", "Disc.vol", "Disc.xml" }));
    EXPECT_EQ(m_store.volumeRecord("disc"), other);
    // A scan that could not tell its volume leaves no record of the one before.
    ASSERT_TRUE(write(m_store, "DISC", "plain", std::nullopt));
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "DISC.idx", "DISC.xml" }));
}

// A damaged or unreadable record is none, never a catalog; deleting a catalog keeps its record
// beside its twin, for when the file comes back from the trash.
TEST_F(VolumeRecordStore, ARecordThatCannotBeReadIsNone)
{
    writeFile(m_data / "disc.xml", "");
    writeFile(m_data / "disc.vol", "damaged");
    EXPECT_EQ(m_store.volumeRecord("disc"), std::nullopt);
    EXPECT_EQ(m_store.catalogs().value().size(), 1u);
    writeFile(m_data / "disc.vol", std::string(kPhotosText));
    fakes::FaultyFileSystem faulty(m_fileSystem);
    faulty.failReads(".vol", platform::errorFromErrno(EIO));
    EXPECT_EQ(CatalogStore(m_data.path(), faulty).volumeRecord("disc"), std::nullopt);
    ASSERT_TRUE(m_store.moveToTrash("disc"));
    EXPECT_TRUE(fs::exists(m_data / "disc.vol"));
}

// The scan records the volume of the scanned path; a path whose volume cannot be told gives the
// catalog alone.
TEST(VolumeRecordScan, TheScannedVolumeIsRecordedWithTheCatalog)
{
    const tests::TemporaryFolder data;
    platform::LinuxFileSystem fileSystem;
    const CatalogStore store(data.path(), fileSystem);
    const app::Settings settings;
    fakes::FakeDirectoryLister lister;
    lister.addDirectory(kPhotos.scannedPath, { fakes::FakeDirectoryLister::file("a.jpg", 1, 0) });
    fakes::FakeMessageBox box;
    const DateFormatter dates("zh_CN");
    fakes::FakeVolumes volumes;
    volumes.mounted = { { "", "", "ext4", 1, "/dev/sda2", "/", "/" }, kPhotos.volume };
    ScanContext context { store, settings, lister, box, dates, nullptr, nullptr, &volumes };

    ASSERT_TRUE(genXml(context, kPhotos.scannedPath, "trip"));
    EXPECT_EQ(readFile(data / "trip.vol"), kPhotosText);
    volumes.failure = platform::errorFromErrno(EOPNOTSUPP);
    box.queueAnswer(platform::MessageAnswer::Yes);
    ASSERT_TRUE(genXml(context, kPhotos.scannedPath, "trip"));
    EXPECT_FALSE(fs::exists(data / "trip.vol"));
}

} // namespace
} // namespace mellowby::scan
