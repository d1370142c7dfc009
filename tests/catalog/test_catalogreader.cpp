#include "testconfig.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "app/codepage936.h"
#include "catalog/catalogreader.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/temporaryfolder.h"

using namespace mellowby::catalog;

namespace {

const std::string kCatalogs = std::string(MELLOWBY_TEST_DATA_DIR) + "/catalogs/";
const std::string kDate = "2004年3月15日";
const std::string kReplacement = "\xEF\xBF\xBD";

std::vector<std::string> fileNames(const pugi::xpath_node_set& files)
{
    std::vector<std::string> names;
    for (const pugi::xpath_node& file : files) {
        names.emplace_back(file.node().child_value());
    }
    return names;
}

// A catalog file as the store reads it.
CatalogDocument loadCatalog(const std::string& path)
{
    CatalogDocument document;
    auto bytes = mellowby::platform::LinuxFileSystem().readWholeFile(path, std::size_t(1) << 30);
    if (!bytes)
        document.failToRead(bytes.error());
    else if (!*bytes)
        document.failToRead(mellowby::platform::errorFromErrno(ENOENT));
    else
        document.loadBytes(std::move(**bytes));
    return document;
}

// Decodes bytes as a catalog declaring label is decoded.
std::string decodeAs(std::string_view label, std::string_view bytes)
{
    auto decoder = mellowby::app::Cp936Decoder::open(mellowby::app::Cp936Decoder::charsetFor(label));
    EXPECT_TRUE(decoder.has_value());
    return decoder ? decoder->decode(bytes) : std::string();
}

} // namespace

TEST(CatalogReader, readsTheGb2312ExampleCatalog)
{
    const CatalogDocument document = loadCatalog(kCatalogs + "Photos 2004.xml");
    ASSERT_TRUE(document.loaded()) << document.loadError().description;

    const pugi::xml_node disk = document.documentElement();
    EXPECT_STREQ(disk.name(), "Disk");
    EXPECT_EQ(disk.parent(), document.documentNode());
    EXPECT_STREQ(attributeAt(disk, 0).value(), "Photos 2004");
    EXPECT_STREQ(attributeAt(disk, 1).value(), "E:\\");

    // The CR LF line ends never become nodes: Disk holds its File and its Directory only.
    const pugi::xml_node readme = disk.first_child();
    const pugi::xml_node tomAndJerry = readme.next_sibling();
    EXPECT_STREQ(readme.name(), "File");
    EXPECT_STREQ(tomAndJerry.name(), "Directory");
    EXPECT_FALSE(tomAndJerry.next_sibling());
    EXPECT_STREQ(attributeAt(tomAndJerry, 0).value(), "Tom & Jerry");
    EXPECT_EQ(attributeAt(tomAndJerry, 1).value(), kDate);
    const pugi::xml_node old = tomAndJerry.last_child();
    EXPECT_STREQ(attributeAt(old, 0).value(), "old");
    EXPECT_FALSE(old.first_child());

    // A File holds exactly one text node: its name.
    EXPECT_EQ(readme.first_child().type(), pugi::node_pcdata);
    EXPECT_FALSE(readme.first_child().next_sibling());
    EXPECT_STREQ(readme.first_child().value(), "readme.txt");
    EXPECT_EQ(attributeAt(readme, 0).value(), kDate);
    EXPECT_STREQ(attributeAt(readme, 1).value(), "2KB");

    EXPECT_EQ(fileNames(selectAllFiles(document)), (std::vector<std::string> { "readme.txt", "a.jpg" }));
    EXPECT_EQ(fileNames(selectAllFiles(document)), (std::vector<std::string> { "readme.txt", "a.jpg" }));
}

TEST(CatalogReader, decodesReferencesAndKeepsTabLfCrWrittenAsReferences)
{
    const CatalogDocument document = loadCatalog(kCatalogs + "references.xml");
    ASSERT_TRUE(document.loaded()) << document.loadError().description;
    const pugi::xml_node disk = document.documentElement();
    EXPECT_STREQ(attributeAt(disk, 0).value(), "Tom & Jerry's");

    EXPECT_EQ(fileNames(selectAllFiles(document)),
        (std::vector<std::string> {
            "Bob's <notes> \"v2\" & more.txt",
            "price \u20AC5 \U0001F600.txt",
            "tab\tlf\ncr\rend",
            // A name of blanks only survives only as references; written literally it would be
            // white space between tags and be dropped.
            " ",
        }));

    const pugi::xml_node controls = disk.child("Directory");
    EXPECT_STREQ(attributeAt(controls, 0).value(), "tab\tlf\ncr\rend");
    EXPECT_STREQ(attributeAt(controls.next_sibling(), 0).value(), "照片 \u20AC");
}

TEST(CatalogReader, normalisesLiteralWhiteSpaceInAttributesButNotInNames)
{
    CatalogDocument document;
    ASSERT_TRUE(document.loadBytes("<Disk title=\"a\tb\r\nc\" Label=\"L\">\r\n"
                                   "<File CreateDate=\"d\" FileSize=\"1KB\">x\r\ny</File>\r\n</Disk>\r\n"));
    EXPECT_STREQ(attributeAt(document.documentElement(), 0).value(), "a b c");
    EXPECT_STREQ(document.documentElement().child_value("File"), "x\ny");
}

TEST(CatalogReader, doesNotExpandEntitiesDeclaredInTheDocument)
{
    const CatalogDocument document = loadCatalog(kCatalogs + "entities.xml");
    ASSERT_TRUE(document.loaded()) << document.loadError().description;
    EXPECT_STREQ(attributeAt(document.documentElement(), 0).value(), "&lol9;");
    EXPECT_EQ(fileNames(selectAllFiles(document)), std::vector<std::string> { "&lol9;" });
}

TEST(CatalogReader, truncatedCatalogLeavesNoDocumentElement)
{
    const CatalogDocument document = loadCatalog(kCatalogs + "truncated.xml");
    EXPECT_FALSE(document.loaded());
    EXPECT_FALSE(document.documentElement());
    EXPECT_EQ(selectAllFiles(document).size(), 0U);

    EXPECT_EQ(document.parseResult().status, pugi::status_end_element_mismatch);
    EXPECT_EQ(document.loadError().number, 0);
    EXPECT_EQ(document.loadError().description,
        "Start-end tags mismatch at offset " + std::to_string(document.parseResult().offset));
}

TEST(CatalogReader, missingOrUnreadableFileLeavesNoDocumentElement)
{
    const CatalogDocument missing = loadCatalog(kCatalogs + "no such catalog.xml");
    EXPECT_FALSE(missing.documentElement());
    EXPECT_EQ(selectAllFiles(missing).size(), 0U);
    EXPECT_EQ(missing.loadError(), (mellowby::platform::Error { ENOENT, std::strerror(ENOENT) }));
    EXPECT_EQ(missing.parseResult().status, pugi::status_file_not_found);

    const CatalogDocument directory = loadCatalog(kCatalogs);
    EXPECT_FALSE(directory.documentElement());
    EXPECT_EQ(directory.loadError().number, EISDIR);
}

TEST(CatalogReader, nonXmlAndEmptyFilesLeaveNoDocumentElement)
{
    const CatalogDocument text = loadCatalog(kCatalogs + "not-xml.xml");
    EXPECT_FALSE(text.documentElement());
    EXPECT_EQ(text.loadError().number, 0);
    EXPECT_FALSE(text.loadError().description.empty());

    CatalogDocument empty;
    EXPECT_FALSE(empty.loadBytes(""));
    EXPECT_FALSE(empty.documentElement());
}

TEST(CatalogReader, failedLoadDropsTheDocumentLoadedBefore)
{
    const auto bytes = [](const char* name) { return mellowby::tests::readFile(kCatalogs + name); };
    CatalogDocument document;
    ASSERT_TRUE(document.loadBytes(bytes("Photos 2004.xml")));
    EXPECT_FALSE(document.loadBytes(bytes("truncated.xml")));
    EXPECT_FALSE(document.documentElement());
    EXPECT_EQ(selectAllFiles(document).size(), 0U);
    EXPECT_FALSE(document.failToRead(mellowby::platform::errorFromErrno(EIO)));
    EXPECT_EQ(document.parseResult().status, pugi::status_io_error);

    ASSERT_TRUE(document.loadBytes(bytes("Photos 2004.xml")));
    EXPECT_EQ(document.loadError(), mellowby::platform::Error {});
}

TEST(CatalogReader, movedDocumentKeepsItsNodes)
{
    CatalogDocument first = loadCatalog(kCatalogs + "Photos 2004.xml");
    const pugi::xml_node disk = first.documentElement();
    CatalogDocument second = std::move(first);
    EXPECT_EQ(second.documentElement(), disk);
    EXPECT_STREQ(attributeAt(disk, 0).value(), "Photos 2004");
    EXPECT_EQ(selectAllFiles(second).size(), 2U);
}

TEST(CatalogReader, replacesInvalidGb2312SequencesAndGoesOn)
{
    const CatalogDocument document = loadCatalog(kCatalogs + "invalid-gb2312.xml");
    ASSERT_TRUE(document.loaded()) << document.loadError().description;
    // An invalid byte, an unassigned pair, and a lead byte right before "</File>", which must not
    // take the '<' with it.
    EXPECT_EQ(fileNames(selectAllFiles(document)),
        (std::vector<std::string> {
            "a" + kReplacement + "b.txt", "c" + kReplacement + "d.txt", "e" + kReplacement, "文件.txt" }));
}

TEST(CatalogReader, takesUtf8DeclaredOrUndeclaredTextAsItIs)
{
    const CatalogDocument declared = loadCatalog(kCatalogs + "utf8.xml");
    ASSERT_TRUE(declared.loaded()) << declared.loadError().description;
    EXPECT_STREQ(attributeAt(declared.documentElement(), 0).value(), "音乐");
    EXPECT_EQ(fileNames(selectAllFiles(declared)), std::vector<std::string> { "测试.mp3" });

    CatalogDocument undeclared;
    ASSERT_TRUE(undeclared.loadBytes("\xEF\xBB\xBF<Disk title=\"音乐\"/>"));
    EXPECT_STREQ(attributeAt(undeclared.documentElement(), 0).value(), "音乐");

    // Broken UTF-8 reaches the reader unchanged rather than failing the catalog.
    CatalogDocument broken;
    ASSERT_TRUE(broken.loadBytes("<?xml version=\"1.0\" encoding=\"utf-8\"?><Disk title=\"a\xFF\xC3\"/>"));
    EXPECT_STREQ(attributeAt(broken.documentElement(), 0).value(), "a\xFF\xC3");
}

TEST(CatalogReader, honoursEveryWayOfDeclaringTheGbFamily)
{
    struct Case {
        std::string declaration;
        std::string name;
        std::string expected;
    };
    const std::vector<Case> cases {
        { "<?xml version='1.0' encoding = 'gb2312'?>", "\xCE\xC4\xBC\xFE", "文件" },
        { "<?xml version=\"1.0\"\r\n encoding\t=\"EUC-CN\" ?>", "\xCE\xC4\xBC\xFE", "文件" },
        { "<?xml version=\"1.0\" encoding=\"gbk\"?>", "\x81\x40", "\u4E02" },
        { "<?xml version=\"1.0\" encoding=\"GB18030\"?>", "\x94\x39\xFC\x36", "\U0001F600" },
    };
    for (const Case& c : cases) {
        CatalogDocument document;
        ASSERT_TRUE(document.loadBytes(c.declaration + "<Disk><File>" + c.name + "</File></Disk>")) << c.declaration;
        EXPECT_EQ(fileNames(selectAllFiles(document)), std::vector<std::string> { c.expected }) << c.declaration;
    }
}

// Catalogs made on Windows say GB2312 but hold code page 936: its traditional characters, its
// dot and dash at A1A4 and A1AA, and "€" at 0x80.
TEST(CatalogReader, readsTheGbLabelsAsCodePage936)
{
    for (const char* label : { "GB2312", "EUC-CN", "GBK", "gbk" }) {
        EXPECT_EQ(decodeAs(label, "\xB7\xB1\xF3\x77\xC5\x5F \xC1\xD0\xB7\xF2\xA1\xA4\xCD\xD0 \xA1\xAA \x80"),
            "繁體臺 列夫·托 — €")
            << label;
    }
    EXPECT_EQ(decodeAs("GB18030", "\xA1\xA4\xA1\xAA"), "·—");
}

TEST(CatalogReader, refusesAnEncodingItCannotHonour)
{
    CatalogDocument document;
    EXPECT_FALSE(document.loadBytes("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Disk/>"));
    EXPECT_FALSE(document.documentElement());
    EXPECT_EQ(document.loadError().description, "Unsupported encoding ISO-8859-1");
}

TEST(Cp936Decoder, replacesEachUndefinedSequenceOnce)
{
    EXPECT_EQ(decodeAs("GB2312",
                  "2004\xC4\xEA"
                  "3\xD4\xC2"),
        "2004年3月");
    EXPECT_EQ(decodeAs("GB2312",
                  "a\xAA\xA1"
                  "b"),
        "a" + kReplacement + "b");
    EXPECT_EQ(decodeAs("GB2312", "a\xC4\"b"), "a" + kReplacement + "\"b");
    // A pair code page 936 leaves undefined is one unknown character, not two.
    EXPECT_EQ(decodeAs("GB2312", "\xA2\xAB\xCE\xC4"), kReplacement + "文");
    EXPECT_EQ(decodeAs("GB2312", "end\xC4"), "end" + kReplacement);
    EXPECT_EQ(decodeAs("GB18030", "x\x94\x39"), "x" + kReplacement);
    EXPECT_EQ(decodeAs("GB2312", std::string(3, '\xFF')), kReplacement + kReplacement + kReplacement);
    EXPECT_EQ(decodeAs("GB2312", ""), "");

    // Replacements use more room than the bytes they stand for, so the output has to grow.
    std::string expected;
    std::string bytes;
    for (int i = 0; i < 8; ++i) {
        bytes += '\xFF';
        expected += kReplacement;
    }
    for (int i = 0; i < 100; ++i) {
        bytes += "\xCE\xC4";
        expected += "文";
    }
    EXPECT_EQ(decodeAs("GB2312", bytes), expected);
}

TEST(AttributeAt, goesByPositionNotByName)
{
    CatalogDocument document;
    ASSERT_TRUE(document.loadBytes("<Disk><File FileSize=\"1KB\" CreateDate=\"d\">n</File></Disk>"));
    const pugi::xml_node file = document.documentElement().first_child();
    EXPECT_STREQ(attributeAt(file, 0).name(), "FileSize");
    EXPECT_STREQ(attributeAt(file, 1).value(), "d");
    EXPECT_FALSE(attributeAt(file, 2));
    EXPECT_FALSE(attributeAt(document.documentElement(), 0));
    EXPECT_FALSE(attributeAt(pugi::xml_node(), 0));
}
