// Whether a file is an archive is told by its first bytes alone, never by its name; which files a
// scan reads those bytes of is told by their names.

#include <charconv>
#include <gtest/gtest.h>
#include <string>

#include "archive/archivekind.h"
#include "archive/archivenames.h"

namespace mellowby::archive {
namespace {

Sniffed sniff(const std::string& bytes)
{
    return sniffArchive(bytes, bytes.size());
}

// A tar header of the kind made before ustar: no magic, only its checksum.
std::string oldTarHeader(bool rightChecksum)
{
    std::string header(512, '\0');
    header.replace(0, 5, "a.txt");
    header.replace(100, 7, "0000644");
    header.replace(124, 11, "00000000005");
    header.replace(148, 8, "        ");
    unsigned sum = 0;
    for (const char c : header)
        sum += static_cast<unsigned char>(c);
    char digits[8];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), rightChecksum ? sum : sum + 1, 8).ptr;
    const std::string field(std::begin(digits), end);
    header.replace(148, 8, std::string(6 - field.size(), '0') + field + std::string("\0 ", 2));
    return header;
}

TEST(Sniffing, EachKindByItsMagicAndNothingByName)
{
    const std::string pad(600, 'x');
    const std::vector<std::pair<std::string, ArchiveKind>> cases {
        { "PK\x03\x04" + pad, ArchiveKind::Zip },
        { std::string("PK\x05\x06", 4) + std::string(18, '\0'), ArchiveKind::Zip }, // an empty zip
        { "7z\xBC\xAF\x27\x1C" + pad, ArchiveKind::SevenZip },
        { std::string("Rar!\x1A\x07\x00", 7) + pad, ArchiveKind::Rar },
        { std::string("Rar!\x1A\x07\x01\x00", 8) + pad, ArchiveKind::Rar5 },
        { std::string("MSCF\0\0\0\0", 8) + pad, ArchiveKind::Cab },
        { "070701" + pad, ArchiveKind::Cpio },
        { "\xC7\x71" + pad, ArchiveKind::Cpio },
        { std::string(257, 'n')
                + std::string("ustar\0"
                              "00",
                    8)
                + pad,
            ArchiveKind::Tar },
        { std::string(257, 'n') + "ustar  " + pad, ArchiveKind::Tar },
        { oldTarHeader(true), ArchiveKind::Tar },
        { "\x1F\x8B\x08" + pad, ArchiveKind::Compressed },
        { "BZh91AY&SY" + pad, ArchiveKind::Compressed },
        { std::string("\xFD"
                      "7zXZ\0",
              6) + pad,
            ArchiveKind::Compressed },
        { "\x28\xB5\x2F\xFD" + pad, ArchiveKind::Compressed },
        { std::string("\x5D\0\0\x80\0", 5) + std::string(8, '\xFF') + pad, ArchiveKind::Compressed }, // lzma
        { "\x04\x22\x4D\x18" + pad, ArchiveKind::Compressed },
        // Not archives: a JPEG, text, a header whose checksum is wrong, a cut magic, nothing.
        { "\xFF\xD8\xFF\xE0" + pad, ArchiveKind::None },
        { "just some text\n" + pad, ArchiveKind::None },
        { oldTarHeader(false), ArchiveKind::None },
        { std::string(512, '\0'), ArchiveKind::None },
        { "PK\x03", ArchiveKind::None },
        { "", ArchiveKind::None },
    };
    for (const auto& [bytes, kind] : cases)
        EXPECT_EQ(sniff(bytes).kind, kind) << testing::PrintToString(bytes.substr(0, 12));
}

TEST(Sniffing, DiscDescriptorsAreSeenOnlyWhereTheHeadReachesThem)
{
    std::string disc(kDiscHeadLength, '\0');
    disc[16 * 2048] = 1;
    disc.replace(16 * 2048 + 1, 5, "CD001");
    EXPECT_EQ(sniff(disc).kind, ArchiveKind::Iso9660);
    // The same bytes given only in part, or a file said to end before them, show nothing.
    EXPECT_EQ(sniffArchive(std::string_view(disc).substr(0, kArchiveHeadLength), disc.size()).kind, ArchiveKind::None);
    EXPECT_EQ(sniffArchive(disc, 16 * 2048 + 3).kind, ArchiveKind::None);
    // A supplementary descriptor alone is no ISO 9660 volume.
    disc[16 * 2048] = 2;
    EXPECT_EQ(sniff(disc).kind, ArchiveKind::None);
}

} // namespace
} // namespace mellowby::archive

namespace mellowby::archive {
namespace {

// A scan looks inside the files named as archives are, whatever the letter case, and no others.
TEST(ArchiveNames, TheEndingsArchivesAreGivenAndNoOthers)
{
    for (const char* name : { "a.zip", "B.ZIP", "x.tar.gz", "x.TGZ", "set.7z", "old.rar", "y.tar.zst", "c.cab",
             "d.cpio", "comic.cbz", "lib.jar", "disc.iso" })
        EXPECT_TRUE(namedLikeArchive(name)) << name;
    for (const char* name : { "zip", "photo.jpg", "a.zip.txt", "notes.gzip", ".", "", "archive." })
        EXPECT_FALSE(namedLikeArchive(name)) << name;
    EXPECT_TRUE(namedLikeDiscImage("DISC.ISO"));
    EXPECT_FALSE(namedLikeDiscImage("disc.iso.zip"));
}

} // namespace
} // namespace mellowby::archive
