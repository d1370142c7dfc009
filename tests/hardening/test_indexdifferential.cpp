// The names index against the document model, row for row: every search and every listing made
// from the index must be the one the catalog file gives, on catalogs of every kind.

#include "hardening.h"
#include "testconfig.h"

#include <gtest/gtest.h>
#include <random>
#include <set>

#include "catalog/uppercaser.h"
#include "support/catalogmaker.h"
#include "support/gb2312testtexts.h"
#include "support/indexcomparison.h"

namespace mellowby::hardening {
namespace {

using tests::CatalogMaker;

// Texts that reach every rule of the comparison: letters whose upper case is longer, shorter or
// another script's, ASCII letters that non-ASCII letters upper-case to, markup, separators, and
// the empty text, which every name holds.
const std::vector<std::string> kTexts = { "", "A", "S", "SS", "ẞ", "FI", "I", "K", "É", "Ö", "Σ", "ΣΑΣ", "照", "照片",
    "&", "'", "<", ".TXT", "/", "\\", " ", "İ", "Ǆ", "ʼN", "X&Y", "Z" };

std::string catalogText(std::string_view declaration, std::string_view body)
{
    return std::string(declaration) + "\r\n" + std::string(body);
}

void expectSame(
    const std::string& bytes, const std::vector<std::string>& texts, bool mustBeIndexed, const std::string& what)
{
    const tests::Comparison comparison = tests::compareIndexWithDocument(bytes, texts);
    EXPECT_EQ(comparison.difference, std::nullopt) << what;
    if (mustBeIndexed) {
        EXPECT_TRUE(comparison.indexed) << what << ": read directly, nothing compared";
    }
}

TEST(IndexAgainstDocument, CraftedCatalogs)
{
    const std::string gb = R"(<?xml version ="1.0" encoding ="GB2312" standalone="yes" ?>)";
    const std::string utf8 = R"(<?xml version="1.0" encoding="UTF-8"?>)";
    const std::string file = R"(<File CreateDate="2004年3月15日" FileSize="1KB">)";
    struct Case {
        std::string declaration;
        std::string body;
        bool indexed; // of the form an index is made from
    };
    const std::vector<Case> cases {
        { gb, "<Disk title=\"t\" Label=\"/m\">\r\n" + file + "a.txt</File>\r\n</Disk>\r\n", true },
        // Entities and character references, in names, titles and the Label.
        { utf8,
            "<Disk title=\"a&amp;b\" Label=\"/m&lt;n&gt;\">\n" + file
                + "x&amp;y&apos;&quot;&#x1F600;&#233;&#x4E2D;.txt</File>\n<Directory title=\"&#x3A3;&#x3C3;\" "
                  "CreateDate=\"d\">\n"
                + file + "ſtraße&#xFB01;.TXT</File>\n</Directory>\n</Disk>\n",
            true },
        // A Windows Label: backslashes, a drive, a trailing separator, doubled separators.
        { gb,
            "<Disk title=\"w\" Label=\"D:\\\">\r\n<Directory title=\"照片\\\\2004\" CreateDate=\"d\">\r\n" + file
                + "a\\b.jpg</File>\r\n</Directory>\r\n" + file + "c.jpg</File>\r\n</Disk>\r\n",
            true },
        { utf8,
            "<Disk title=\"s\" Label=\"/m//n/\">\n<Directory title=\"/x/\" CreateDate=\"d\">\n<Directory title=\"\" "
            "CreateDate=\"d\">\n"
                + file + "/a/b</File>\n</Directory>\n</Directory>\n</Disk>\n",
            true },
        // A File without a name.
        { utf8, "<Disk title=\"e\" Label=\"/m\">\n" + file + "</File>\n" + file + "b</File>\n</Disk>\n", false },
        // Same titles side by side: the address counts them.
        { utf8,
            "<Disk title=\"d\" Label=\"/m\">\n<Directory title=\"x\" CreateDate=\"d\">\n" + file
                + "1</File>\n</Directory>\n<Directory title=\"x\" CreateDate=\"d\">\n" + file
                + "2</File>\n</Directory>\n<Directory title=\"X\" CreateDate=\"d\">\n" + file
                + "3</File>\n</Directory>\n</Disk>\n",
            true },
        // Attributes in another order, missing, added; empty elements; odd white space.
        { utf8,
            "<Disk title=\"o\" Label=\"/m\">\n<File FileSize=\"2KB\" CreateDate=\"d\">swapped</File>\n<File "
            "CreateDate=\"d\">nosize</File>\n<File>bare</File>\n<File CreateDate=\"d\" FileSize=\"1KB\" "
            "extra=\"e\">extra</File>\n<File CreateDate=\"d\" FileSize=\"1KB\"/>\n<Directory/>\n<Directory "
            "CreateDate=\"d\" title=\"late\">\n"
                + file
                + "in late</File>\n</Directory>\n  <File   CreateDate = 'd'  FileSize='3KB' >spaced</File>\n</Disk>\n",
            false },
        // What the writer never writes: comments, CDATA, processing instructions, other elements.
        { utf8, "<Disk title=\"c\" Label=\"/m\">\n<!-- note -->\n" + file + "a</File>\n</Disk>\n", false },
        { utf8, "<Disk title=\"c\" Label=\"/m\">\n" + file + "<![CDATA[a<b]]></File>\n</Disk>\n", false },
        { utf8, "<Disk title=\"c\" Label=\"/m\">\n<?pi x?>\n" + file + "a</File>\n<Other/>\n</Disk>\n", false },
        // Cut short, not closed, trailing text, a byte-order mark, a NUL, no declaration.
        { utf8, "<Disk title=\"c\" Label=\"/m\">\n" + file + "a</File>\n", false },
        { utf8, "<Disk title=\"c\" Label=\"/m\">\n" + file + "a</File>\n</Disk>\ntrailing", false },
        { "\xEF\xBB\xBF" + utf8, "<Disk title=\"c\" Label=\"/m\">\n" + file + "a</File>\n</Disk>\n", false },
        { utf8, std::string("<Disk title=\"c\" Label=\"/m\">\n") + file + "a\0b</File>\n</Disk>\n", false },
        { "", "<Disk title=\"n\" Label=\"/m\">\n" + file + "plain</File>\n</Disk>\n", true },
        // Another root, an unknown entity, a reference to what XML cannot hold.
        { utf8, "<Disc title=\"c\" Label=\"/m\">\n" + file + "a</File>\n</Disc>\n", false },
        { utf8, "<Disk title=\"c\" Label=\"/m\">\n" + file + "&nbsp;</File>\n</Disk>\n", false },
        { utf8, "<Disk title=\"c\" Label=\"/m\">\n" + file + "&#0;&#xD800;</File>\n</Disk>\n", false },
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& crafted = cases[i];
        std::string bytes = catalogText(crafted.declaration, crafted.body);
        if (crafted.declaration == gb)
            bytes = tests::toGb2312(bytes);
        expectSame(bytes, kTexts, crafted.indexed, "case " + std::to_string(i));
    }
}

TEST(IndexAgainstDocument, CatalogsMadeOnWindowsAndTheTestCatalogs)
{
    for (const char* folder : { "/windows", "/catalogs" }) {
        for (const auto& entry : std::filesystem::directory_iterator(std::string(MELLOWBY_TEST_DATA_DIR) + folder)) {
            if (entry.path().extension() != ".xml")
                continue;
            const bool madeOnWindows = std::string_view(folder) == "/windows";
            expectSame(readFile(entry.path()), kTexts, madeOnWindows, entry.path().filename().string());
        }
    }
}

// Names drawn from letters that upper-case in every way, scanned by the program's own writer
// (code page 936, references for what it lacks) into trees of a few levels.
class ScannedNames : public ::testing::Test {
protected:
    static std::string randomName(std::mt19937& random, std::size_t length)
    {
        static const std::vector<std::string> kPieces = { "a", "b", "Z", "s", "ß", "ẞ", "é", "É", "ö", "ſ", "ﬁ", "ı",
            "İ", "i", "K", "K", "σ", "ς", "Σ", "ǅ", "ŉ", "照", "片", "·", "—", "&", "'", "\"", "<", ">", " ", ".",
            "x&y", "\\", "\xF0\x9F\x98\x80", "ｗ", "Ⅻ", "ⓐ" };
        std::string name;
        for (std::size_t i = 0; i < length; ++i)
            name += kPieces[random() % kPieces.size()];
        return name;
    }

    // A catalog of files names in folders of up to 40 files, some at most levels deep, with a
    // few names long enough to run over the blocks the index is read in.
    std::string scan(std::uint32_t seed, std::size_t files, std::vector<std::string>& names)
    {
        std::mt19937 random(seed);
        CatalogMaker maker(m_data.path());
        std::vector<std::string> folders { "" };
        std::map<std::string, std::vector<platform::DirEntry>> entries;
        std::set<std::string> taken;
        for (std::size_t i = 0; i < files; ++i) {
            if (i % 40 == 0 && folders.size() < 64) {
                const std::string& parent = folders[random() % folders.size()];
                const std::string title = randomName(random, 1 + random() % 6) + std::to_string(i);
                entries[parent].push_back(CatalogMaker::dir(title));
                folders.push_back(parent.empty() ? title : parent + "/" + title);
                entries[folders.back()];
            }
            const std::size_t length = i % 997 == 500 ? 3000 : 1 + random() % 12;
            std::string name = randomName(random, length) + "_" + std::to_string(i);
            names.push_back(name);
            entries[folders[random() % folders.size()]].push_back(CatalogMaker::file(name, random() % 100000));
        }
        for (auto& [folder, list] : entries)
            maker.directory(folder, std::move(list));
        EXPECT_TRUE(maker.write("scanned"));
        return readFile(std::filesystem::path(m_data.path()) / "scanned.xml");
    }

    TemporaryFolder m_data;
};

TEST_F(ScannedNames, EveryCaseOfLetterGivesTheSameRows)
{
    catalog::UpperCaser upper;
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        std::vector<std::string> names;
        const std::string bytes = scan(seed, seed == 4 ? 60000 : 600, names);
        std::vector<std::string> texts = kTexts;
        // Pieces of names, upper-cased as the find box does.
        std::mt19937 random(seed);
        for (int i = 0; i < 12; ++i) {
            const std::string& name = names[random() % names.size()];
            const std::size_t from = random() % name.size();
            texts.emplace_back(upper.upper(name.substr(from, 1 + random() % 6)));
        }
        if (seed == 4)
            texts.resize(8); // the big one reads a megabyte of names per text
        expectSame(bytes, texts, true, "seed " + std::to_string(seed));
    }
}

} // namespace
} // namespace mellowby::hardening
