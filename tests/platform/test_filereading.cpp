#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "platform/linux/linuxfilereading.h"
#include "platform/linux/storageclassification.h"
#include "support/temporaryfolder.h"

namespace mellowby::platform {
namespace {

namespace fs = std::filesystem;
using tests::TemporaryFolder;
using tests::writeFile;

// A sysfs tree as the kernel lays it out: device numbers are links into the device hierarchy,
// where a partition sits inside its whole disk, which alone knows whether it rotates.
class StorageKinds : public ::testing::Test {
protected:
    void disk(const std::string& place, const std::string& majorMinor, const std::string& rotational,
        const std::string& partition = {}, const std::string& scsiType = {})
    {
        const std::string device = "devices/pci0000:00/" + place;
        if (!rotational.empty())
            writeFile(m_sys / device + "/queue/rotational", rotational + "\n");
        if (!scsiType.empty())
            writeFile(m_sys / device + "/device/type", scsiType + "\n");
        std::string node = device;
        if (!partition.empty()) {
            node += "/" + partition;
            writeFile(m_sys / node + "/partition", "1\n");
        }
        fs::create_directories(m_sys / "dev/block");
        fs::create_directories(m_sys / "class/block");
        fs::create_symlink("../../" + node, m_sys / "dev/block/" + majorMinor);
        fs::create_symlink("../../" + node, m_sys / "class/block/" + fs::path(node).filename().string());
    }

    StorageKind kindOf(const std::string& majorMinor, std::string_view mountInfo = {})
    {
        return classifyStorage(majorMinor, mountInfo, m_sys.path());
    }

    TemporaryFolder m_sys;
};

TEST_F(StorageKinds, FromTheWholeDiskOfAFileSystem)
{
    disk("ata1/block/sda", "8:1", "1", "sda1");
    disk("nvme/block/nvme0n1", "259:1", "0", "nvme0n1p1");
    disk("ata2/block/sr0", "11:0", "1");
    // A USB drive of CDs and DVDs has another name, and says what it is by its SCSI type.
    disk("usb/block/sdc", "8:32", "1", {}, "5");
    disk("virtio/block/vdb", "253:16", "");
    EXPECT_EQ(kindOf("8:1"), StorageKind::Rotational);
    EXPECT_EQ(kindOf("259:1"), StorageKind::Solid);
    EXPECT_EQ(kindOf("11:0"), StorageKind::Optical);
    EXPECT_EQ(kindOf("8:32"), StorageKind::Optical);
    EXPECT_EQ(kindOf("253:16"), StorageKind::Unknown);
}

// btrfs gives its files a device number of its own; the mount table names the device.
TEST_F(StorageKinds, FileSystemsWithoutABlockNumberByTheirMountsSource)
{
    disk("ata1/block/sdb", "8:17", "1", "sdb1");
    constexpr std::string_view kMountInfo = "40 27 0:45 / /data rw - btrfs /dev/sdb1 rw\n"
                                            "41 27 0:46 / /tmp rw - tmpfs tmpfs rw\n"
                                            "42 27 0:47 / /mnt/nas rw - nfs4 nas:/export rw\n";
    EXPECT_EQ(kindOf("0:45", kMountInfo), StorageKind::Rotational);
    EXPECT_EQ(kindOf("0:46", kMountInfo), StorageKind::Unknown);
    EXPECT_EQ(kindOf("0:47", kMountInfo), StorageKind::Unknown);
    EXPECT_EQ(kindOf("0:99", kMountInfo), StorageKind::Unknown);
}

TEST(LinuxFileReading, ReadsInOrderAndSaysWhereDataLie)
{
    TemporaryFolder dir;
    writeFile(dir / "data", std::string(100000, 'd'));
    writeFile(dir / "empty", "");
    LinuxFileReading reading;
    auto file = reading.openSequential(dir / "data");
    ASSERT_TRUE(file);
    EXPECT_EQ((*file)->stamp().size, 100000U);
    std::string piece(60000, '\0');
    EXPECT_EQ((*file)->read(piece), 60000U);
    EXPECT_EQ((*file)->read(piece), 40000U);
    EXPECT_EQ((*file)->read(piece), 0U);
    EXPECT_EQ((*file)->currentStamp(), (*file)->stamp());
    EXPECT_EQ(reading.openSequential(dir.path()).error().number, EISDIR);
    EXPECT_EQ(reading.openSequential(dir / "none").error().number, ENOENT);

    // Written data have a place once they are on the disk; memory file systems tell none.
    const int fd = ::open((dir / "data").c_str(), O_RDONLY);
    ::fsync(fd);
    ::close(fd);
    const auto place = (*reading.openSequential(dir / "data"))->placement();
    if (!place && place.error().number == EOPNOTSUPP)
        GTEST_SKIP() << "the temporary folder's file system does not tell where data lie";
    ASSERT_TRUE(place);
    EXPECT_TRUE(place->has_value());
    const auto empty = (*reading.openSequential(dir / "empty"))->placement();
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->has_value());
}

} // namespace
} // namespace mellowby::platform
