#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "app/settings.h"
#include "catalog/catalognames.h"
#include "catalog/datetext.h"
#include "catalog/scanner.h"
#include "catalog/textutils.h"
#include "catalog/uppercaser.h"
#include "platform/linux/linuxdirectorylister.h"

namespace mellowby::catalog {
namespace {

TEST(TextUtilities, TrimNullCutsAtTheFirstNul)
{
    using namespace std::string_view_literals;
    EXPECT_EQ(trimNull("\0abc"sv), "");
    EXPECT_EQ(trimNull("abc"), "abc");
    EXPECT_EQ(trimNull("ab\0c\0\0"sv), "ab");
    EXPECT_EQ(trimNull(""), "");
}

TEST(TextUtilities, FileSizeRoundsUpToWholeKilobytes)
{
    EXPECT_EQ(getFileSizeKB(0u, 0u), 0u);
    EXPECT_EQ(getFileSizeKB(0u, 1u), 1u);
    EXPECT_EQ(getFileSizeKB(0u, 1024u), 1u);
    EXPECT_EQ(getFileSizeKB(0u, 1025u), 2u);
    EXPECT_EQ(getFileSizeKB(0u, 1048576u), 1024u);
    EXPECT_EQ(getFileSizeKB(1u, 1u << 30), 5242880u); // 5 GiB: both halves count
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

TEST(TextUtilities, FilterListWithANonAsciiType)
{
    const app::Settings exclude { "JPÉ", "", false, true };
    EXPECT_FALSE(filePassesFilter(exclude, getFileExt("a.jpé")));
    EXPECT_TRUE(filePassesFilter(exclude, getFileExt("a.jpe")));
    const app::Settings include { "", "GIF|JPÉ", true, true };
    EXPECT_TRUE(filePassesFilter(include, getFileExt("b.Jpé")));
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

TEST(TextUtilities, EncodeXmlEscapesEachSpecialOnce)
{
    EXPECT_EQ(encodeXml("Tom & Jerry's"), "Tom &amp; Jerry&apos;s");
    EXPECT_EQ(encodeXml("a<b"), "a&lt;b");
    EXPECT_EQ(encodeXml("\"x\">"), "&quot;x&quot;&gt;");
    EXPECT_EQ(encodeXml(""), "");
}

TEST(TextUtilities, DirectoryAttribute)
{
    EXPECT_TRUE(ifDirectory(0x10));
    EXPECT_TRUE(ifDirectory(0x31));
    EXPECT_FALSE(ifDirectory(0x20));
}

class FileExistence : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / ("mellowby-exists-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir / "sub");
        for (const char* name : { "plain.xml", ".hidden", "a[1].xml" })
            std::ofstream(m_dir / name) << "x";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    bool exists(const std::string& relative, std::uint16_t mask)
    {
        return ifFileExists(m_lister, (m_dir / relative).string() + (relative.ends_with('/') ? "/" : ""), mask);
    }

    std::filesystem::path m_dir;
    platform::LinuxDirectoryLister m_lister;
};

TEST_F(FileExistence, MasksWildcardsAndHiddenFiles)
{
    EXPECT_TRUE(exists("plain.xml", kMaskFiles));
    EXPECT_FALSE(exists(".hidden", kMaskFiles));
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

TEST(CatalogNames, PairAndTitleFollowTheTypedName)
{
    auto names = catalogFileNames("Photos 2004");
    EXPECT_EQ(names.xmlName, "Photos 2004.xml");
    EXPECT_EQ(names.idxName, "Photos 2004.idx");
    EXPECT_EQ(names.diskTitle, "Photos 2004");

    names = catalogFileNames("abc.XML");
    EXPECT_EQ(names.xmlName, "abc.XML");
    EXPECT_EQ(names.idxName, "abc.idx");
    EXPECT_EQ(names.diskTitle, "abc.XML");

    names = catalogFileNames("");
    EXPECT_EQ(names.xmlName, "tmp1000.xml");
    EXPECT_EQ(names.idxName, "tmp1000.idx");
    EXPECT_EQ(names.diskTitle, "");

    EXPECT_EQ(idxPathFor("/d/Data/x.Xml"), "/d/Data/x.idx");
    EXPECT_EQ(idxPathFor("/d/Data/xml"), "/d/Data/xml.idx");
}

TEST(CatalogNames, NamesThatLeaveTheDataFolderAreRefused)
{
    using namespace std::string_view_literals;
    for (const auto name : { "/"sv, "../x"sv, "a/b"sv, "."sv, ".."sv, "a\0b"sv })
        EXPECT_TRUE(catalogNameProblem(name).has_value()) << name;
    for (const auto name : { ""sv, "..x"sv, "a\\b"sv, "光盘 1"sv, "a*b?"sv })
        EXPECT_FALSE(catalogNameProblem(name).has_value()) << name;
}

TEST(Dates, LongDateOfTheUtcDayInTheGivenLocale)
{
    const DateFormatter chinese("zh_CN");
    const DateFormatter english("en_US");
    const auto march15 = fileTimeToDate(1079308800 + 3600);
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
