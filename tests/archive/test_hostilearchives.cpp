// Archives made to hurt: names that try to climb, sizes that lie, files cut short or only named
// like archives, more members or more time than allowed. Listing keeps what it could read, says
// why it stopped, and never lets a name climb out of the tree.

#include <charconv>
#include <chrono>
#include <gtest/gtest.h>

#include "archive/archivelister.h"
#include "archive/archivetexts.h"
#include "archive/archivetools.h"
#include "support/temporaryfolder.h"
#include "support/zipbytes.h"

namespace mellowby::archive {
namespace {

using tests::TemporaryFolder;
using tests::zipBytes;
using tests::ZipEntry;

std::expected<ArchiveListing, ListingError> listBytes(
    TemporaryFolder& folder, const std::string& name, const std::string& bytes, const ListingLimits& limits = {})
{
    tests::writeFile(folder / name, bytes);
    return listArchive(folder / name, limits);
}

std::vector<ZipEntry> numberedEntries(int count)
{
    std::vector<ZipEntry> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        entries.emplace_back("dir/file" + std::to_string(i) + ".txt", std::string(100, 'x'));
    return entries;
}

// value in octal digits, zeros before it to fill width.
std::string octal(std::size_t value, std::size_t width)
{
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value, 8).ptr;
    const std::string text(std::begin(digits), end);
    return std::string(width - std::min(width, text.size()), '0') + text;
}

// A ustar archive of members of size bytes each, their headers written by hand.
std::string tarBytes(const std::vector<std::string>& names, std::size_t size)
{
    std::string tar;
    for (const auto& name : names) {
        std::string header(512, '\0');
        header.replace(0, name.size(), name);
        header.replace(100, 7, "0000644");
        header.replace(124, 11, octal(size, 11));
        header.replace(136, 11, "13274771000");
        header.replace(257, 8,
            std::string("ustar\0"
                        "00",
                8));
        header[156] = '0';
        header.replace(148, 8, "        ");
        unsigned sum = 0;
        for (const char c : header)
            sum += static_cast<unsigned char>(c);
        header.replace(148, 7, octal(sum, 6) + '\0');
        tar += header;
        tar += std::string(size, 'd');
        tar += std::string((512 - size % 512) % 512, '\0');
    }
    return tar + std::string(1024, '\0');
}

// The path of a folder of the tree from the top, its names joined by '|' (a name may hold '/').
std::string treePath(const ArchiveListing& listing, std::uint32_t folder)
{
    std::string path;
    for (; folder != kTopFolder; folder = listing.folders[folder].parent)
        path.insert(0, "|" + listing.folders[folder].name);
    return path;
}

TEST(HostileArchives, NamesAreKeptAsWrittenAndTheTreeNeverClimbs)
{
    TemporaryFolder folder;
    const auto listing = listBytes(folder, "names.zip",
        zipBytes({ { "../../etc/passwd", "x" }, { "/etc/shadow", "x" }, { "C:\\Windows\\x.dll", "x" },
            { "a//b/./c.txt", "x" }, { "odd\x01\x7F name.txt", "x" }, { "\xFF\xFE.txt", "x" }, { "./", "" },
            { "..", "x" } }));
    ASSERT_TRUE(listing.has_value());
    EXPECT_EQ(listing->status, ArchiveStatus::Intact);
    ASSERT_EQ(listing->members.size(), 8u);
    const auto& m = listing->members;
    EXPECT_EQ(m[0].name, "../../etc/passwd");
    EXPECT_EQ(treePath(*listing, m[0].folder), "|..|..|etc");
    EXPECT_EQ(m[0].leaf, "passwd");
    EXPECT_EQ(m[1].name, "/etc/shadow");
    EXPECT_EQ(treePath(*listing, m[1].folder), "|etc");
    // libarchive reads a zip's backslashes as separators, as the Windows tools that wrote them
    // meant them; "C:" is a folder's name like any other.
    EXPECT_EQ(m[2].name, "C:/Windows/x.dll");
    EXPECT_EQ(treePath(*listing, m[2].folder), "|C:|Windows");
    EXPECT_EQ(treePath(*listing, m[3].folder), "|a|b");
    EXPECT_EQ(m[4].name, "odd\x01\x7F name.txt");
    // Bytes that are neither UTF-8 nor code page 936 read as U+FFFD, as catalogs read them.
    EXPECT_EQ(m[5].name, "\xEF\xBF\xBD\xEF\xBF\xBD.txt");
    // "./" is the top itself; a file named ".." lies in the top under that name.
    EXPECT_TRUE(m[6].isDirectory);
    EXPECT_EQ(m[6].self, kTopFolder);
    EXPECT_EQ(m[7].folder, kTopFolder);
    EXPECT_EQ(m[7].leaf, "..");
    for (std::size_t i = 1; i < listing->folders.size(); ++i) {
        const auto& treeFolder = listing->folders[i];
        EXPECT_FALSE(
            treeFolder.name.empty() || treeFolder.name == "." || treeFolder.name.find('/') != std::string::npos);
        EXPECT_LT(treeFolder.parent, i) << "parents come first";
    }

    // In a tar a backslash is part of a name: a Windows path is one name in the top.
    const auto tar = listBytes(folder, "names.tar", tarBytes({ "C:\\x\\y.txt" }, 1));
    ASSERT_TRUE(tar.has_value());
    ASSERT_EQ(tar->members.size(), 1u);
    EXPECT_EQ(tar->members[0].leaf, "C:\\x\\y.txt");
    EXPECT_EQ(tar->members[0].folder, kTopFolder);
}

TEST(HostileArchives, BombsAreListedByTheirDeclaredSizesAndNestedArchivesAreFiles)
{
    TemporaryFolder folder;
    const std::string inner = zipBytes({ { "deep.txt", "x" } });
    const auto start = std::chrono::steady_clock::now();
    const auto listing = listBytes(folder, "bomb.zip",
        zipBytes({ { "terabyte.bin", std::string(64, '\0'), std::uint64_t { 1 } << 40 }, { "inner.zip", inner } }));
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(listing.has_value());
    EXPECT_EQ(listing->status, ArchiveStatus::Intact);
    ASSERT_EQ(listing->members.size(), 2u);
    EXPECT_EQ(listing->members[0].size, std::uint64_t { 1 } << 40);
    // One level: the zip inside is a file of its own size, its member never listed.
    EXPECT_FALSE(listing->members[1].isDirectory);
    EXPECT_EQ(listing->members[1].size, inner.size());
    EXPECT_LT(took, std::chrono::seconds(2)) << "nothing was decompressed";
}

TEST(HostileArchives, CutShortOrOnlyNamedLikeOneKeepsWhatWasReadOrIsAPlainFile)
{
    TemporaryFolder folder;
    const std::string whole = zipBytes(numberedEntries(50));
    // Without its central directory a zip is read from its local headers until the cut.
    const auto cut = listBytes(folder, "cut.zip", whole.substr(0, whole.size() / 2));
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->status, ArchiveStatus::Damaged);
    EXPECT_GT(cut->members.size(), 10u);
    EXPECT_LT(cut->members.size(), 50u);
    EXPECT_EQ(cut->members[3].name, "dir/file3.txt");

    // A tar cut inside a member: the members before it stay.
    const std::string tar = tarBytes({ "t0.txt", "t1.txt", "t2.txt" }, 1000);
    const auto tarCut = listBytes(folder, "cut.tar", tar.substr(0, tar.size() - 1024 - 600));
    ASSERT_TRUE(tarCut.has_value());
    EXPECT_EQ(tarCut->status, ArchiveStatus::Damaged);
    EXPECT_EQ(tarCut->members.size(), 3u);

    // A zip's magic and nothing after it: a damaged archive with nothing listed.
    const auto broken = listBytes(folder, "broken.zip", "PK\x03\x04garbage");
    ASSERT_TRUE(broken.has_value());
    EXPECT_EQ(broken->status, ArchiveStatus::Damaged);
    EXPECT_TRUE(broken->members.empty());
    // A JPEG named .zip, and an empty .7z, are plain files.
    for (const auto& [name, bytes] :
        { std::pair<std::string, std::string> { "photo.zip", "\xFF\xD8\xFF\xE0JFIF" }, { "empty.7z", "" } }) {
        const auto plain = listBytes(folder, name, bytes);
        ASSERT_FALSE(plain.has_value()) << name;
        EXPECT_EQ(plain.error().failure, ListingFailure::NotAnArchive);
    }
    const auto missing = listArchive(folder / "missing.zip");
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().failure, ListingFailure::Unreadable);
}

TEST(HostileArchives, MoreMembersOrMoreTimeThanAllowedStopsWithWhatWasListed)
{
    TemporaryFolder folder;
    tests::writeFile(folder / "many.zip", zipBytes(numberedEntries(20)));

    ListingLimits fewMembers;
    fewMembers.maxMembers = 5;
    const auto members = listArchive(folder / "many.zip", fewMembers);
    ASSERT_TRUE(members.has_value());
    EXPECT_EQ(members->status, ArchiveStatus::OverLimit);
    EXPECT_EQ(members->members.size(), 5u);

    ListingLimits exactly;
    exactly.maxMembers = 20;
    EXPECT_EQ(listArchive(folder / "many.zip", exactly)->status, ArchiveStatus::Intact);

    // A clock on which every look takes a second: ten seconds allowed run out part way.
    ListingLimits slow;
    auto now = std::chrono::steady_clock::time_point {};
    slow.clock = [&now] { return now += std::chrono::seconds(1); };
    const auto timed = listArchive(folder / "many.zip", slow);
    ASSERT_TRUE(timed.has_value());
    EXPECT_EQ(timed->status, ArchiveStatus::OverLimit);
    EXPECT_GT(timed->members.size(), 0u);
    EXPECT_LT(timed->members.size(), 20u);

    ListingLimits fewNames;
    fewNames.maxNameBytes = 100;
    EXPECT_EQ(listArchive(folder / "many.zip", fewNames)->status, ArchiveStatus::OverLimit);
}

std::string vint(std::uint64_t value)
{
    std::string out;
    for (; value >= 0x80; value >>= 7)
        out += static_cast<char>((value & 0x7F) | 0x80);
    return out + static_cast<char>(value);
}

// A RAR 5 block: CRC32, size, type, flags, the sizes of its extra and data areas, its fields.
std::string rar5Block(int type, const std::string& fields, const std::string& extra = {}, const std::string& data = {})
{
    std::string header = vint(static_cast<std::uint64_t>(type));
    header += vint((extra.empty() ? 0 : 1) | (data.empty() ? 0 : 2));
    if (!extra.empty())
        header += vint(extra.size());
    if (!data.empty())
        header += vint(data.size());
    header += fields + extra;
    header = vint(header.size()) + header;
    std::string block;
    tests::zipdetail::put(block, tests::zipdetail::crc32(header), 4);
    return block + header + data;
}

// A stored file's header: flags (time and CRC), size, attributes, time, CRC, method, system, name.
std::string rar5File(const std::string& name, const std::string& data, bool encrypted)
{
    std::string fields = vint(0x6) + vint(data.size()) + vint(0100644);
    tests::zipdetail::put(fields, 1600000000, 4);
    tests::zipdetail::put(fields, tests::zipdetail::crc32(data), 4);
    fields += vint(0) + vint(1) + vint(name.size()) + name;
    // The file encryption record: type 1, version 0, no flags, KDF count, salt, IV.
    const std::string record = vint(1) + vint(0) + vint(0) + '\x0F' + std::string(32, '\x5A');
    return rar5Block(2, fields, encrypted ? vint(record.size()) + record : std::string(), data);
}

TEST(HostileArchives, RarEncryptionIsSeenInItsHeaders)
{
    TemporaryFolder folder;
    // libarchive lists a RAR 5 member whose data is encrypted without saying so.
    const std::string signature("Rar!\x1A\x07\x01\x00", 8);
    const std::string members = signature + rar5Block(1, vint(0)) + rar5File("open.txt", "hello", false)
        + rar5File("dir/secret.txt", std::string(16, '\x77'), true) + rar5Block(5, vint(0));
    const auto data = listBytes(folder, "data.rar", members);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(data->status, ArchiveStatus::Encrypted);
    ASSERT_EQ(data->members.size(), 2u);
    EXPECT_EQ(data->members[1].name, "dir/secret.txt");
    EXPECT_FALSE(data->members[0].encrypted);
    EXPECT_TRUE(data->members[1].encrypted);

    // RAR 5 with its headers encrypted: the signature, then an encryption header (CRC32, size 3 + 33, type 4, no flags,
    // version 0, flags 1, KDF count, salt, check value); then only ciphertext.
    std::string rar5("Rar!\x1A\x07\x01\x00", 8);
    rar5 += std::string("\0\0\0\0", 4);
    rar5 += std::string("\x24\x04\x00\x00\x01\x0F", 6);
    rar5 += std::string(28, '\x5A') + std::string(64, '\x33');
    const auto five = listBytes(folder, "names.rar", rar5);
    ASSERT_TRUE(five.has_value());
    EXPECT_EQ(five->status, ArchiveStatus::NamesUnreadable);
    EXPECT_EQ(statusText(five->status), "已加密");

    // RAR 4: the marker block, then a main header with flag 0x80, encrypted headers.
    std::string rar4("Rar!\x1A\x07\x00", 7);
    rar4 += std::string("\x00\x00\x73\x80\x00\x0D\x00", 7) + std::string(6, '\0') + std::string(64, '\x33');
    const auto four = listBytes(folder, "names4.rar", rar4);
    ASSERT_TRUE(four.has_value());
    EXPECT_EQ(four->status, ArchiveStatus::NamesUnreadable);
}

TEST(HostileArchives, StatusWordsAreTheOnesShown)
{
    EXPECT_EQ(statusText(ArchiveStatus::Intact), "完好");
    EXPECT_EQ(statusText(ArchiveStatus::Encrypted), "已加密");
    EXPECT_EQ(statusText(ArchiveStatus::Damaged), "已损坏");
    EXPECT_EQ(statusText(ArchiveStatus::OverLimit), "超出限制");
}

} // namespace
} // namespace mellowby::archive
