// Disc images catalogued as discs: an ISO 9660 image with Joliet and Rock Ridge names listed as
// xorriso lists it, its identity read from its volume descriptors, its tree walked as a mounted
// disc would be; an image of UDF alone refused in words the user reads.

#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "archive/archivekind.h"
#include "archive/archivelister.h"
#include "archive/archivetexts.h"
#include "archive/archivetools.h"
#include "archive/discidentity.h"
#include "archive/discimage.h"
#include "archive/imagedirectorylister.h"
#include "archive/privatetemporaryfolder.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/paths.h"
#include "support/temporaryfolder.h"

namespace mellowby::archive {
namespace {

using tests::quoted;
using tests::run;
using tests::TemporaryFolder;

// Every entry under the folder at path of lister, by path from the top: whether a folder, and size.
std::map<std::string, std::pair<bool, std::uint64_t>> walk(platform::IDirectoryLister& lister, const std::string& path)
{
    std::map<std::string, std::pair<bool, std::uint64_t>> out;
    std::vector<std::string> folders { "" };
    while (!folders.empty()) {
        const std::string below = folders.back();
        folders.pop_back();
        std::vector<platform::DirEntry> entries;
        EXPECT_TRUE(lister.list(platform::joinPath(path, below), entries));
        for (const auto& entry : entries) {
            out[below + entry.name] = { entry.isDirectory, entry.isDirectory ? 0 : entry.size };
            if (entry.isDirectory)
                folders.push_back(below + entry.name + "/");
        }
    }
    return out;
}

class DiscImages : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!tests::hasTool("xorriso"))
            GTEST_SKIP() << "xorriso is not installed";
        tests::writeFile(m_folder / "src/readme.txt", "hello\n");
        tests::writeFile(m_folder / "src/照片/旅行 2004/长城 的 照片.jpg", std::string(5000, 'j'));
        tests::writeFile(m_folder / "src/a very long name that ISO 9660 level 1 would cut.text", "x");
        run("mkdir -p " + quoted(m_folder / "src/空/empty"));
        run("find " + quoted(m_folder / "src") + " -exec touch -h -d @1600000000 {} +");
        run("xorriso -as mkisofs -quiet -J -R -V '光盘 2004' -volset SET1 --modification-date=2020091312264000 -o "
            + quoted(image()) + " " + quoted(m_folder / "src"));
    }

    std::string image() const { return m_folder / "disc.iso"; }

    TemporaryFolder m_folder;
};

TEST_F(DiscImages, ListsAsXorrisoDoesAndWalksAsTheFolderItWasMadeFrom)
{
    const auto listing = listArchive(image());
    ASSERT_TRUE(listing.has_value());
    EXPECT_EQ(listing->status, ArchiveStatus::Intact);

    // xorriso's own listing: '/path' at the end of each line, the size fifth.
    std::map<std::string, std::uint64_t> xorriso;
    std::istringstream lines(run("xorriso -indev " + quoted(image()) + " -find / -exec lsdl"));
    for (std::string line; std::getline(lines, line);) {
        const auto quote = line.find(" '/");
        std::istringstream fields(line.substr(0, quote));
        std::string permissions;
        std::string links;
        std::string owner;
        std::string group;
        std::uint64_t size = 0;
        fields >> permissions >> links >> owner >> group >> size;
        const std::string name = line.substr(quote + 3, line.size() - quote - 4);
        if (!name.empty() && permissions[0] != 'd')
            xorriso[name] = size;
    }
    std::map<std::string, std::uint64_t> ours;
    for (const auto& member : listing->members) {
        if (!member.isDirectory)
            ours[member.name] = member.size.value_or(0);
        EXPECT_EQ(member.modified->seconds, 1600000000) << member.name;
    }
    EXPECT_EQ(xorriso.size(), 3u);
    EXPECT_EQ(ours, xorriso);
    EXPECT_EQ(ours.count("照片/旅行 2004/长城 的 照片.jpg"), 1u);

    // Walked through the image as the scan walks a mounted disc: the same tree as the folder.
    ImageDirectoryLister imageLister(*listing);
    platform::LinuxDirectoryLister folderLister;
    const auto fromImage = walk(imageLister, "");
    EXPECT_EQ(fromImage.size(), 7u);
    EXPECT_EQ(fromImage, walk(folderLister, m_folder / "src"));
}

TEST_F(DiscImages, FoldersHaveStableIdsOfTheirOwnAndTheWayBackUp)
{
    const auto listing = listArchive(image());
    ASSERT_TRUE(listing.has_value());
    ImageDirectoryLister lister(*listing);
    auto top = lister.open("/");
    ASSERT_TRUE(top.has_value());
    auto photos = (*top)->openChild("照片");
    ASSERT_TRUE(photos.has_value());
    auto trip = (*photos)->openChild("旅行 2004");
    ASSERT_TRUE(trip.has_value());
    EXPECT_EQ((*trip)->id(), (*lister.open("照片/旅行 2004"))->id());
    EXPECT_NE((*trip)->id(), (*photos)->id());
    EXPECT_EQ((*(*trip)->openParent())->id(), (*photos)->id());
    EXPECT_EQ((*top)->id().device, ImageDirectoryLister::kImageDevice);
    EXPECT_FALSE((*top)->openParent().has_value());
    EXPECT_FALSE((*top)->openChild("readme.txt").has_value()) << "a file is no folder";
    EXPECT_FALSE((*top)->openChild("..").has_value());
    EXPECT_FALSE(lister.open("nowhere").has_value());
}

TEST_F(DiscImages, IdentityComesFromTheVolumeDescriptors)
{
    platform::LinuxFileSystem fileSystem;
    const auto file = fileSystem.openForReading(image());
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(sniffFile(**file).kind, ArchiveKind::Iso9660);
    const auto identity = readDiscIdentity(**file);
    ASSERT_TRUE(identity.has_value());
    EXPECT_EQ(identity->label, "光盘 2004");
    EXPECT_EQ(identity->volumeSetIdentifier, "SET1");
    EXPECT_EQ(identity->creationTime, 1600000000);
    EXPECT_EQ(identity->volumeSpaceBytes, (*file)->stamp().size);
    EXPECT_FALSE(identity->carriesUdf);
}

TEST_F(DiscImages, AFileOfTheImageIsTakenOutAloneByItsPlaceInTheTree)
{
    const auto opened = PrivateTemporaryFolder::create(m_folder.path());
    ASSERT_TRUE(opened.has_value());
    const std::string& folder = opened->path();
    const auto taken = extractImageFile(image(), "照片/旅行 2004/长城 的 照片.jpg", folder);
    ASSERT_TRUE(taken.has_value()) << taken.error().description;
    EXPECT_EQ(*taken, platform::joinPath(folder, "长城 的 照片.jpg"));
    EXPECT_EQ(tests::readFile(*taken), std::string(5000, 'j'));

    // A path that climbs, or names a folder or nothing, finds no file of the image; ".." is a
    // name in the tree like any other.
    for (const std::string_view crafted :
        { "../readme.txt", "照片/../readme.txt", "../../../../etc/passwd", "照片", "", "照片/旅行 2004/nothing.jpg" }) {
        const auto refused = extractImageFile(image(), crafted, folder);
        ASSERT_FALSE(refused.has_value()) << crafted;
        EXPECT_EQ(refused.error().description, kImageFileMissingText) << crafted;
    }
    EXPECT_EQ(tests::namesIn(folder), std::vector<std::string> { "长城 的 照片.jpg" });
    EXPECT_EQ(tests::namesIn(m_folder.path()),
        (std::vector<std::string> { opened->path().substr(m_folder.path().size() + 1), "disc.iso", "src" }));
    EXPECT_EQ(extractImageFile(image(), "//readme.txt", folder).value(), platform::joinPath(folder, "readme.txt"));
}

TEST(UdfImages, AnImageOfUdfAloneIsRefusedInWords)
{
    // The volume recognition sequence of UDF from sector 16: BEA01, NSR02, TEA01.
    std::string bytes(kDiscHeadLength, '\0');
    for (const auto& [sector, identifier] : { std::pair { 16, "BEA01" }, { 17, "NSR02" }, { 18, "TEA01" } })
        bytes.replace(sector * 2048 + 1, 5, identifier);
    TemporaryFolder folder;
    tests::writeFile(folder / "udf.iso", bytes);
    EXPECT_EQ(sniffArchive(bytes, bytes.size()).kind, ArchiveKind::Udf);
    const auto listing = listArchive(folder / "udf.iso");
    ASSERT_FALSE(listing.has_value());
    EXPECT_EQ(listing.error().failure, ListingFailure::UdfImage);
    EXPECT_EQ(listing.error().error.description, "此光盘映像是 UDF 格式，无法读取。");
    const auto identity = parseDiscIdentity(bytes);
    ASSERT_FALSE(identity.has_value());
    EXPECT_EQ(identity.error().failure, ListingFailure::UdfImage);

    // With an ISO 9660 descriptor first it is readable, and says it carries UDF too.
    bytes[16 * 2048] = 1;
    bytes.replace(16 * 2048 + 1, 5, "CD001");
    bytes.replace(17 * 2048 + 1, 5, "BEA01");
    bytes.replace(18 * 2048 + 1, 5, "NSR03");
    EXPECT_EQ(sniffArchive(bytes, bytes.size()).kind, ArchiveKind::Iso9660);
    EXPECT_TRUE(parseDiscIdentity(bytes)->carriesUdf);
}

} // namespace
} // namespace mellowby::archive
