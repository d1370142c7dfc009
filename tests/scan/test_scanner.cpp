#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/programfolder.h"
#include "app/settings.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "catalog/textutils.h"
#include "fakes/fakedirectorylister.h"
#include "fakes/fakemessagebox.h"
#include "fakes/faultyfilesystem.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/scanner.h"
#include "support/dates.h"
#include "support/gb2312testtexts.h"
#include "support/nesteddatafolder.h"
#include "support/temporaryfolder.h"

namespace mellowby::scan {
using namespace catalog;
namespace {

using fakes::FakeDirectoryLister;
using platform::MessageAnswer;

using tests::kMarch15;
using tests::readFile;
using tests::writeFile;

constexpr const char* kRoot = "/media/cdrom";

std::string crlfLines(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (const auto line : lines) {
        text += line;
        text += "\r\n";
    }
    return tests::toGb2312(text);
}

class Scanner : public ::testing::Test {
protected:
    // The tree of the catalog format's worked example.
    void addPhotosDisc()
    {
        m_lister.addDirectory(kRoot,
            { FakeDirectoryLister::file("readme.txt", 1500, kMarch15),
                FakeDirectoryLister::directory("Tom & Jerry", kMarch15) });
        m_lister.addDirectory("/media/cdrom/Tom & Jerry",
            { FakeDirectoryLister::file("a.jpg", 2048, kMarch15), FakeDirectoryLister::directory("old", kMarch15) });
        m_lister.addDirectory("/media/cdrom/Tom & Jerry/old", {});
    }

    std::expected<ScanResult, ScanFailure> scan(const std::string& name, const std::string& root = kRoot)
    {
        ScanContext context { m_store, m_settings, m_lister, m_box, m_dates, m_observer };
        return genXml(context, root, name);
    }

    std::string catalog(const std::string& file) { return readFile(m_data / file); }

    std::vector<std::string> dataFiles() { return tests::namesIn(m_data); }

    void writeOldPair(const std::string& stem)
    {
        writeFile(m_data / (stem + ".xml"), "old catalog");
        writeFile(m_data / (stem + ".idx"), "old twin");
    }
    tests::NestedDataFolder m_folder;
    std::filesystem::path m_data = m_folder.path();
    app::Settings m_settings;
    FakeDirectoryLister m_lister;
    platform::LinuxFileSystem m_realFileSystem;
    fakes::FaultyFileSystem m_fileSystem { m_realFileSystem };
    CatalogStore m_store { m_data.string(), m_fileSystem };
    fakes::FakeMessageBox m_box;
    DateFormatter m_dates { "zh_CN" };
    IScanObserver* m_observer = nullptr;
};

TEST_F(Scanner, WritesTheWorkedExampleByteForByte)
{
    addPhotosDisc();
    const auto result = scan("Photos 2004");
    ASSERT_TRUE(result);
    EXPECT_EQ(catalog("Photos 2004.xml"),
        crlfLines({ R"(<?xml version ="1.0" encoding ="GB2312" standalone="yes" ?>)",
            R"(<Disk title="Photos 2004" Label="/media/cdrom">)",
            R"(<File CreateDate="2004年3月15日" FileSize="2KB">readme.txt</File>)",
            R"(<Directory title="Tom &amp; Jerry" CreateDate="2004年3月15日">)",
            R"(<File CreateDate="2004年3月15日" FileSize="2KB">a.jpg</File>)",
            R"(<Directory title="old" CreateDate="2004年3月15日">)", "</Directory>", "</Directory>", "</Disk>" }));
    EXPECT_EQ(catalog("Photos 2004.idx"),
        crlfLines({ R"(<?xml version ="1.0" encoding ="GB2312" standalone="yes" ?>)",
            R"(<Disk title="Photos 2004" Label="/media/cdrom">)",
            R"(<Directory title="Tom &amp; Jerry" CreateDate="2004年3月15日">)",
            R"(<Directory title="old" CreateDate="2004年3月15日">)", "</Directory>", "</Directory>", "</Disk>" }));
    EXPECT_EQ(result->totals.directories, 3u);
    EXPECT_EQ(result->totals.files, 2u);
    EXPECT_EQ(result->totals.bytes, 3548u);
    EXPECT_TRUE(m_box.shown.empty());
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "Photos 2004.idx", "Photos 2004.sqlite", "Photos 2004.xml" }));
}

TEST_F(Scanner, NamesAreEscapedAndEncoded)
{
    m_lister.addDirectory(kRoot,
        { FakeDirectoryLister::file("Bob's <1>.txt", 0, kMarch15),
            FakeDirectoryLister::file("tab\there\nand\rcr", 1024, kMarch15),
            FakeDirectoryLister::file("价格€.doc", 1025, kMarch15),
            FakeDirectoryLister::file("bad\xff\x01.bin", 1, kMarch15),
            FakeDirectoryLister::directory("目录 \"1\"", kMarch15) });
    m_lister.addDirectory("/media/cdrom/目录 \"1\"", {});
    ASSERT_TRUE(scan("光盘&1"));
    EXPECT_EQ(catalog("光盘&1.xml"),
        crlfLines({ R"(<?xml version ="1.0" encoding ="GB2312" standalone="yes" ?>)",
            R"(<Disk title="光盘&amp;1" Label="/media/cdrom">)",
            R"(<File CreateDate="2004年3月15日" FileSize="0KB">Bob&apos;s &lt;1&gt;.txt</File>)",
            R"(<File CreateDate="2004年3月15日" FileSize="1KB">tab&#9;here&#10;and&#13;cr</File>)",
            R"(<File CreateDate="2004年3月15日" FileSize="2KB">价格&#x20AC;.doc</File>)",
            R"(<File CreateDate="2004年3月15日" FileSize="1KB">bad&#xFFFD;&#xFFFD;.bin</File>)",
            R"(<Directory title="目录 &quot;1&quot;" CreateDate="2004年3月15日">)", "</Directory>", "</Disk>" }));
}

// "·" and "—" go to the bytes Windows gives them; "・" and "―", which strict GB2312 tables put
// at those bytes, are references, so that every one of them reads back as itself.
TEST_F(Scanner, DotsAndDashesAreWrittenAsWindowsWritesThem)
{
    m_lister.addDirectory(kRoot,
        { FakeDirectoryLister::file("列夫·托尔斯泰——.txt", 1, kMarch15),
            FakeDirectoryLister::file("・―.txt", 1, kMarch15), FakeDirectoryLister::directory("A·B", kMarch15) });
    m_lister.addDirectory("/media/cdrom/A·B", {});
    ASSERT_TRUE(scan("点·线"));
    const std::string xml = catalog("点·线.xml");
    EXPECT_EQ(xml,
        tests::toCp936("<?xml version =\"1.0\" encoding =\"GB2312\" standalone=\"yes\" ?>\r\n"
                       "<Disk title=\"点·线\" Label=\"/media/cdrom\">\r\n"
                       "<File CreateDate=\"2004年3月15日\" FileSize=\"1KB\">列夫·托尔斯泰——.txt</File>\r\n"
                       "<File CreateDate=\"2004年3月15日\" FileSize=\"1KB\">&#x30FB;&#x2015;.txt</File>\r\n"
                       "<Directory title=\"A·B\" CreateDate=\"2004年3月15日\">\r\n</Directory>\r\n</Disk>\r\n"));
    EXPECT_NE(
        xml.find(">\xC1\xD0\xB7\xF2\xA1\xA4\xCD\xD0\xB6\xFB\xCB\xB9\xCC\xA9\xA1\xAA\xA1\xAA.txt<"), std::string::npos);
    EXPECT_NE(catalog("点·线.idx")
                  .find("<Directory title=\"A\xA1\xA4"
                        "B\""),
        std::string::npos);
}

TEST_F(Scanner, WhatIsWrittenReadsBackUnchanged)
{
    const std::vector<std::string> names = { "Tom & Jerry's \"<1>\"", "tab\there\r\nline", "  ", " lead and trail ",
        "价格€😀", "e\u0301\u200B", "back\\slash", std::string(300, 'n'), "列夫·托尔斯泰——・―" };
    std::vector<platform::DirEntry> entries;
    for (const auto& name : names)
        entries.push_back(FakeDirectoryLister::file(name, 1, kMarch15));
    entries.push_back(FakeDirectoryLister::directory(names[0], kMarch15));
    m_lister.addDirectory(kRoot, entries);
    m_lister.addDirectory(std::string(kRoot) + "/" + names[0], {});
    ASSERT_TRUE(scan(names[1]));

    const CatalogDocument document = m_store.loadCatalog(names[1]);
    ASSERT_TRUE(document.loaded());
    EXPECT_EQ(attributeAt(document.documentElement(), 0).value(), names[1]);
    std::vector<std::string> read;
    for (const auto& file : selectAllFiles(document))
        read.emplace_back(file.node().child_value());
    EXPECT_EQ(read, names);
    EXPECT_EQ(attributeAt(document.documentElement().child("Directory"), 0).value(), names[0]);
}

TEST_F(Scanner, FiltersFollowTheSettings)
{
    m_lister.addDirectory(kRoot,
        { FakeDirectoryLister::file("x.jpg", 1, kMarch15), FakeDirectoryLister::file("x", 1, kMarch15),
            FakeDirectoryLister::file("x.gif", 1, kMarch15), FakeDirectoryLister::file("x.doc", 1, kMarch15),
            FakeDirectoryLister::directory("only gifs", kMarch15) });
    m_lister.addDirectory("/media/cdrom/only gifs", { FakeDirectoryLister::file("y.gif", 1, kMarch15) });
    const auto filesIn = [&](const std::string& name) {
        EXPECT_TRUE(scan(name));
        const std::string text = catalog(name + ".xml");
        std::vector<std::string> files;
        for (const char* file : { ">x.jpg<", ">x<", ">x.gif<", ">x.doc<", ">y.gif<" }) {
            if (text.find(file) != std::string::npos)
                files.emplace_back(file);
        }
        EXPECT_NE(text.find("only gifs"), std::string::npos); // directories are always written
        return files;
    };
    using Files = std::vector<std::string>;

    EXPECT_EQ(filesIn("off"), (Files { ">x.jpg<", ">x<", ">x.gif<", ">x.doc<", ">y.gif<" }));
    m_settings = { "GIF|JPG|PCX|TIF|ICO", "JPG", true, true };
    EXPECT_EQ(filesIn("include"), (Files { ">x.jpg<" }));
    m_settings.ifYesFile = false;
    EXPECT_EQ(filesIn("exclude"), (Files { ">x.doc<" }));
    m_settings.NoFileStr.clear();
    EXPECT_EQ(filesIn("exclude nothing"), (Files { ">x.jpg<", ">x<", ">x.gif<", ">x.doc<", ">y.gif<" }));

    // Every letter of a file type is upper-cased, not only a to z, in the scan as in getFileExt.
    m_lister.addDirectory("/media/photos",
        { FakeDirectoryLister::file("a.jpé", 1, kMarch15), FakeDirectoryLister::file("b.jpe", 1, kMarch15) });
    m_settings = { "JPÉ", "", false, true };
    ASSERT_TRUE(scan("accents", "/media/photos"));
    const std::string text = tests::fromGb2312(catalog("accents.xml"));
    EXPECT_EQ(text.find("a.jp"), std::string::npos);
    EXPECT_NE(text.find(">b.jpe</File>"), std::string::npos);
}

TEST(Filter, ListsAreSearchedAsPlainCaseSensitiveText)
{
    const app::Settings exclude { "GIF|JPG|PCX|TIF|ICO", "", false, true };
    EXPECT_FALSE(filePassesFilter(exclude, "JP")); // found inside JPG
    EXPECT_FALSE(filePassesFilter(exclude, "IF")); // found inside GIF
    EXPECT_TRUE(filePassesFilter(exclude, "PNG"));
    const app::Settings lowerCase { "gif|jpg", "gif|jpg", true, true };
    EXPECT_FALSE(filePassesFilter(lowerCase, "JPG"));
    EXPECT_FALSE(filePassesFilter(lowerCase, ""));
}

TEST_F(Scanner, EmptyAndTypedXmlNames)
{
    addPhotosDisc();
    ASSERT_TRUE(scan(""));
    EXPECT_NE(catalog("tmp1000.xml").find("<Disk title=\"\" Label=\"/media/cdrom\">"), std::string::npos);
    ASSERT_TRUE(scan("abc.XML"));
    EXPECT_NE(catalog("abc.XML").find("<Disk title=\"abc.XML\""), std::string::npos);
    EXPECT_FALSE(catalog("abc.idx").empty());
}

TEST_F(Scanner, ExistingCatalogIsReplacedOnlyOnYes)
{
    addPhotosDisc();
    writeOldPair("disc");
    ASSERT_EQ(scan("disc").error(), ScanFailure::OverwriteDeclined);
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0],
        (platform::MessageRequest { "当前文件已存在，是否覆盖？", "生成xml文件", platform::MessageIcon::Warning,
            platform::MessageButtons::YesNo }));
    EXPECT_EQ(catalog("disc.xml"), "old catalog");
    EXPECT_EQ(catalog("disc.idx"), "old twin");
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.xml" }));

    m_box.queueAnswer(MessageAnswer::Yes);
    ASSERT_TRUE(scan("disc"));
    EXPECT_TRUE(catalog("disc.xml").ends_with("</Disk>\r\n"));
    EXPECT_TRUE(catalog("disc.idx").ends_with("</Disk>\r\n"));
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.sqlite", "disc.xml" }));
}

TEST_F(Scanner, ALeftOverTwinIsReplacedWithoutAsking)
{
    addPhotosDisc();
    writeFile(m_data / "disc.idx", "stale");
    ASSERT_TRUE(scan("disc"));
    EXPECT_TRUE(m_box.shown.empty());
    EXPECT_TRUE(catalog("disc.idx").starts_with("<?xml"));
}

TEST_F(Scanner, ACatalogDifferingOnlyInCaseIsTheSameCatalog)
{
    addPhotosDisc();
    writeOldPair("DISC");
    m_box.queueAnswer(MessageAnswer::Yes);
    ASSERT_TRUE(scan("disc"));
    EXPECT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.sqlite", "disc.xml" }));
}

// A write that fails part way (a full disk) must leave the old catalog as it was and no partial
// file behind, wherever in the walk it happens.
TEST_F(Scanner, AFailedWriteKeepsTheOldCatalog)
{
    addPhotosDisc();
    for (const std::uint64_t budget : { 0, 10, 150, 300, 500 }) {
        writeOldPair("disc");
        m_box.shown.clear();
        m_box.queueAnswer(MessageAnswer::Yes);
        m_fileSystem.failWritesAfter(budget, platform::errorFromErrno(ENOSPC));
        ASSERT_EQ(scan("disc").error(), ScanFailure::Failed) << budget;
        EXPECT_EQ(catalog("disc.xml"), "old catalog");
        EXPECT_EQ(catalog("disc.idx"), "old twin");
        EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.xml" }));
        ASSERT_EQ(m_box.shown.size(), 2u);
        EXPECT_EQ(m_box.shown[1],
            (platform::MessageRequest { "生成XML文件出错！(错误代号:28)\r\n错误描述：No space left on device",
                "frmMain-genXml", platform::MessageIcon::Warning, platform::MessageButtons::Ok }));
    }
}

TEST_F(Scanner, AFailedReplacementKeepsTheOldCatalog)
{
    addPhotosDisc();
    writeOldPair("disc");
    m_box.queueAnswer(MessageAnswer::Yes);
    m_fileSystem.failRenames(platform::errorFromErrno(EACCES));
    ASSERT_EQ(scan("disc").error(), ScanFailure::Failed);
    EXPECT_EQ(catalog("disc.xml"), "old catalog");
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.xml" }));
}

TEST_F(Scanner, AnUnreadableOrEmptyRootWritesNothing)
{
    writeOldPair("disc");
    m_box.queueAnswer(MessageAnswer::Yes);
    EXPECT_EQ(scan("disc", "/no/such/dir").error(), ScanFailure::RootUnreadable);
    m_lister.addDirectory("/media/empty", {});
    m_box.queueAnswer(MessageAnswer::Yes);
    EXPECT_EQ(scan("disc", "/media/empty").error(), ScanFailure::RootUnreadable);
    EXPECT_EQ(scan("other", "").error(), ScanFailure::EmptyPath);
    EXPECT_EQ(catalog("disc.xml"), "old catalog");
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.xml" }));
}

TEST_F(Scanner, NamesOutsideTheDataFolderAreRefused)
{
    addPhotosDisc();
    for (const std::string name : { "../escape", "a/b", ".", ".." }) {
        m_box.shown.clear();
        EXPECT_EQ(scan(name).error(), ScanFailure::NameRefused) << name;
        ASSERT_EQ(m_box.shown.size(), 1u);
        EXPECT_EQ(m_box.shown[0].title, "frmMain-genXml");
        EXPECT_TRUE(m_box.shown[0].text.starts_with("生成XML文件出错！\r\n错误描述：")) << m_box.shown[0].text;
    }
    EXPECT_TRUE(dataFiles().empty());
    EXPECT_EQ(m_folder.strayFiles(), std::vector<std::string> {});
}

TEST_F(Scanner, AnUnlistableSubdirectoryIsEmptyAndABrokenListingIsReported)
{
    m_lister.addDirectory(kRoot,
        { FakeDirectoryLister::directory("locked", kMarch15), FakeDirectoryLister::directory("broken", kMarch15),
            FakeDirectoryLister::file("after.txt", 1, kMarch15) });
    m_lister.failOpening("/media/cdrom/locked", platform::errorFromErrno(EACCES));
    m_lister.addDirectory("/media/cdrom/broken",
        { FakeDirectoryLister::file("first.txt", 1, kMarch15), FakeDirectoryLister::file("second.txt", 1, kMarch15) });
    m_lister.failListing("/media/cdrom/broken", platform::errorFromErrno(EIO), 1);
    ASSERT_TRUE(scan("disc"));
    const std::string text = tests::fromGb2312(catalog("disc.xml"));
    EXPECT_NE(
        text.find("<Directory title=\"locked\" CreateDate=\"2004年3月15日\">\r\n</Directory>"), std::string::npos);
    EXPECT_NE(text.find(">first.txt</File>\r\n</Directory>"), std::string::npos);
    EXPECT_EQ(text.find("second.txt"), std::string::npos);
    EXPECT_NE(text.find(">after.txt</File>\r\n</Disk>"), std::string::npos);
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0],
        (platform::MessageRequest {
            "Input/output error", "Mellowby", platform::MessageIcon::None, platform::MessageButtons::Ok }));
}

TEST_F(Scanner, UnknownCreationTimeGivesAnEmptyDate)
{
    auto entry = FakeDirectoryLister::file("x", 1, 0);
    entry.modifiedNs.reset();
    entry.bornNs.reset();
    m_lister.addDirectory(kRoot, { entry });
    ASSERT_TRUE(scan("disc"));
    EXPECT_NE(catalog("disc.xml").find("<File CreateDate=\"\" FileSize=\"1KB\">x</File>"), std::string::npos);
}

TEST_F(Scanner, DeepNestingDoesNotExhaustTheStack)
{
    std::string path = kRoot;
    constexpr int kDepth = 20000;
    for (int level = 0; level < kDepth; ++level) {
        m_lister.addDirectory(path, { FakeDirectoryLister::directory("d", kMarch15) });
        path += "/d";
    }
    m_lister.addDirectory(path, {});
    const auto result = scan("deep");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->totals.directories, kDepth + 1u);
    EXPECT_TRUE(catalog("deep.idx").ends_with("</Directory>\r\n</Disk>\r\n"));
}

class StopAfterFirstDirectory final : public IScanObserver {
public:
    void onProgress(const ScanProgress& progress) override { reports.push_back(progress); }
    bool stopRequested() override { return reports.size() >= 2; }
    std::vector<ScanProgress> reports;
};

TEST_F(Scanner, AStoppedScanLeavesNothing)
{
    addPhotosDisc();
    StopAfterFirstDirectory observer;
    m_observer = &observer;
    EXPECT_EQ(scan("disc").error(), ScanFailure::Stopped);
    EXPECT_TRUE(dataFiles().empty());
    ASSERT_GE(observer.reports.size(), 2u);
    EXPECT_EQ(observer.reports[1].currentDirectory, "/media/cdrom/Tom & Jerry");
}

TEST_F(Scanner, CreateDirCollapsesDoubledSeparators)
{
    platform::LinuxFileSystem fileSystem;
    EXPECT_TRUE(createDir(fileSystem, m_data.string() + "//Data"));
    EXPECT_TRUE(std::filesystem::is_directory(m_data / "Data"));
    EXPECT_FALSE(createDir(fileSystem, ""));
    EXPECT_FALSE(createDir(fileSystem, (m_data / "missing/Data").string()));
}

TEST(TextUtilities, FilterListWithANonAsciiType)
{
    const app::Settings exclude { "JPÉ", "", false, true };
    EXPECT_FALSE(filePassesFilter(exclude, getFileExt("a.jpé")));
    EXPECT_TRUE(filePassesFilter(exclude, getFileExt("a.jpe")));
    const app::Settings include { "", "GIF|JPÉ", true, true };
    EXPECT_TRUE(filePassesFilter(include, getFileExt("b.Jpé")));

    // As an option.ini in UTF-8, which earlier versions wrote, gives it.
    tests::TemporaryFolder folder;
    tests::writeFile(folder / "option.ini", "[Options]\nNoFileStr=JPÉ\nifUseOption=1\n");
    platform::LinuxFileSystem fileSystem;
    fakes::FakeMessageBox box;
    const app::Settings loaded = app::loadStartupSettings(app::ProgramFolder(folder.path(), fileSystem), box);
    EXPECT_FALSE(filePassesFilter(loaded, getFileExt("a.jpé")));
    EXPECT_TRUE(filePassesFilter(loaded, getFileExt("a.jpe")));
}

} // namespace
} // namespace mellowby::scan
