#include <filesystem>
#include <gtest/gtest.h>

#include "app/settings.h"
#include "catalog/datetext.h"
#include "catalog/textutils.h"
#include "catalog/uppercaser.h"
#include "platform/linux/linuxdirectorylister.h"
#include "support/dates.h"
#include "support/temporaryfolder.h"

namespace mellowby::catalog {
namespace {

TEST(TextUtilities, FileSizeRoundsUpToWholeKilobytes)
{
    EXPECT_EQ(getFileSizeKB(0u), 0u);
    EXPECT_EQ(getFileSizeKB(1u), 1u);
    EXPECT_EQ(getFileSizeKB(1024u), 1u);
    EXPECT_EQ(getFileSizeKB(1025u), 2u);
    EXPECT_EQ(getFileSizeKB(1048576u), 1024u);
    EXPECT_EQ(getFileSizeKB(5ull << 30), 5242880u); // 5 GiB
    EXPECT_EQ(getFileSizeKB(UINT64_MAX), UINT64_MAX / 1024 + 1);
}

TEST(TextUtilities, ExtensionIsUpperCasedTextAfterTheLastDot)
{
    EXPECT_EQ(getFileExt("a.jpg"), "JPG");
    EXPECT_EQ(getFileExt("archive.tar.gz"), "GZ");
    EXPECT_EQ(getFileExt("photo.Jpeg"), "JPEG");
    EXPECT_EQ(getFileExt(".profile"), "");
    EXPECT_EQ(getFileExt("README"), "");
    EXPECT_EQ(getFileExt("name."), "");
    EXPECT_EQ(getFileExt("照片.jpg"), "JPG");
    // Every letter with a case, as the search upper-cases names; other bytes stay.
    EXPECT_EQ(getFileExt("a.jpé"), "JPÉ");
    EXPECT_EQ(getFileExt("b.straße"), "STRASSE");
    EXPECT_EQ(getFileExt("c.文档"), "文档");
    EXPECT_EQ(getFileExt("d.x\xFFz"), "X\xFFZ");
    UpperCaser upper;
    EXPECT_EQ(getFileExt("e.ǆ", upper), "Ǆ");
    EXPECT_EQ(getFileExt("f", upper), "");
}

TEST(TextUtilities, ShortNameDropsFolderAndLastExtension)
{
    EXPECT_EQ(getShortName("/opt/mellowby/Data/Photos 2004.xml"), "Photos 2004");
    EXPECT_EQ(getShortName("x.y.xml"), "x.y");
    EXPECT_EQ(getShortName("/my.dir/readme"), "readme");
    EXPECT_EQ(getShortName("a.b.c"), "a.b");
    EXPECT_EQ(getShortName(""), "");
    // No 16-bit limit on lengths.
    EXPECT_EQ(getShortName(std::string(40000, 'n') + ".xml"), std::string(40000, 'n'));
}

class FileExistence : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_dir / "sub");
        for (const char* name : { "plain.xml", ".dot.xml", "a[1].xml" })
            tests::writeFile(m_dir / name, "x");
    }

    bool exists(const std::string& relative, std::uint16_t mask)
    {
        return ifFileExists(m_lister, (m_dir / relative).string() + (relative.ends_with('/') ? "/" : ""), mask);
    }

    tests::TemporaryFolder m_folder;
    std::filesystem::path m_dir = m_folder.path();
    platform::LinuxDirectoryLister m_lister;
};

// A name that starts with "." is an ordinary file, as on the systems catalogs come from.
TEST_F(FileExistence, MasksWildcardsAndDotNames)
{
    EXPECT_TRUE(exists("plain.xml", kMaskFiles));
    EXPECT_TRUE(exists(".dot.xml", kMaskFiles));
    EXPECT_TRUE(exists("*.dot.xml", kMaskFiles));
    EXPECT_FALSE(exists("sub", kMaskFiles));
    EXPECT_TRUE(exists("sub", kMaskDirectories));
    EXPECT_TRUE(ifFileExists(m_lister, (m_dir / "sub").string() + "/", kMaskDirectories));
    EXPECT_TRUE(exists("*.xml", kMaskFiles));
    EXPECT_TRUE(exists("pla?n.xml", kMaskFiles));
    EXPECT_FALSE(exists("missing.xml", kMaskFiles));
    EXPECT_FALSE(ifFileExists(m_lister, "", kMaskDirectories));
    EXPECT_FALSE(ifFileExists(m_lister, "/no/such/folder/", kMaskDirectories));
}

TEST_F(FileExistence, BracketsAreOrdinaryCharacters)
{
    EXPECT_TRUE(exists("a[1].xml", kMaskFiles));
    EXPECT_FALSE(exists("a[12].xml", kMaskFiles));
}

TEST(Dates, LongDateOfTheUtcDayInTheGivenLocale)
{
    const DateFormatter chinese("zh_CN");
    const DateFormatter english("en_US");
    const auto march15 = fileTimeToDate(tests::kMarch15);
    EXPECT_EQ(chinese.longDate(march15), "2004年3月15日");
    EXPECT_EQ(english.longDate(march15), "March 15, 2004");
    // Late on 31 December in UTC stays 31 December whatever the machine's zone.
    EXPECT_EQ(chinese.longDate(fileTimeToDate(1104535800)), "2004年12月31日");
    EXPECT_EQ(chinese.longDate(fileTimeToDate(-1)), "1969年12月31日");
}

TEST(Dates, UserLocaleComesFromTheEnvironment)
{
    ::setenv("LC_ALL", "zh_CN.UTF-8", 1);
    EXPECT_EQ(DateFormatter::userLocaleName(), "zh_CN");
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ(DateFormatter::userLocaleName(), "en_US");
    ::setenv("LC_ALL", "de_DE@euro", 1);
    EXPECT_EQ(DateFormatter::userLocaleName(), "de_DE");
    ::setenv("LC_ALL", "C.UTF-8", 1);
}

} // namespace
} // namespace mellowby::catalog
