#include "hostilecatalogs.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

// Catalogs of sizes no disk gives: nesting deeper than any file system allows, a file at each of
// those levels, a million files in one directory. Loading, listing and searching stay quick.
namespace mellowby::hardening {
namespace {

// No file system nests 100,000 directories, but a catalog file can: nothing that reads one may
// follow the nesting on the call stack.
TEST_F(HostileCatalogs, NestedAHundredThousandDirectoriesDeep)
{
    constexpr std::size_t kDepth = 100000;
    std::string xml = crlf({ kDeclaration, R"(<Disk title="deep" Label="/m">)", fileLine("top.txt") });
    std::string idx = crlf({ kDeclaration, R"(<Disk title="deep" Label="/m">)" });
    for (std::size_t level = 1; level <= kDepth; ++level) {
        const std::string opening = directoryLine("d") + "\r\n";
        xml += opening;
        idx += opening;
        if (level % 10000 == 0)
            xml += fileLine("level" + std::to_string(level) + ".txt") + "\r\n";
    }
    xml += fileLine("bottom.txt") + "\r\n";
    for (std::size_t level = 0; level < kDepth; ++level) {
        xml += "</Directory>\r\n";
        idx += "</Directory>\r\n";
    }
    xml += "</Disk>\r\n";
    idx += "</Disk>\r\n";
    writePair("deep", xml, idx);

    const auto start = std::chrono::steady_clock::now();
    startUp();
    EXPECT_TRUE(m_lastFill.empty());
    browse::NodeId node = root("deep");
    std::size_t depth = 0;
    browse::NodeId middle = browse::kNoNode;
    while (!m_browser->tree().children(node).empty()) {
        node = m_browser->tree().children(node)[0];
        if (++depth == kDepth / 2)
            middle = node;
    }
    EXPECT_EQ(depth, kDepth);

    std::string bottomFolder = "/m";
    for (std::size_t level = 0; level < kDepth; ++level)
        bottomFolder += "/d";
    EXPECT_EQ(listNode(node), (Names { "level100000.txt", "bottom.txt" }));
    EXPECT_EQ(m_list->cell(1, FileColumn::FLocate), bottomFolder + "/bottom.txt");
    EXPECT_EQ(listNode(middle), Names { "level50000.txt" });
    EXPECT_EQ(m_list->cell(0, FileColumn::FLocate).size(), 2 + 2 * kDepth / 2 + 15);
    EXPECT_EQ(listNode(root("deep")), Names { "top.txt" });

    const Names hits = findAll("txt");
    EXPECT_EQ(hits.size(), 3 + kDepth / 10000 + 2); // deep's twelve, good's three
    EXPECT_EQ(hits.at(11), "bottom.txt");
    EXPECT_EQ(m_list->cell(11, FileColumn::FLocate), bottomFolder + "/bottom.txt");
    EXPECT_TRUE(m_lastFill.empty());
    expectGoodCatalogUnaffected();
    std::cout << "[ timing   ] 100,000 levels: loaded, listed and searched in " << secondsSince(start) << " s\n";
}

// The same depth with a file at every level: the locations of all of them together would fill
// ten gigabytes. Listing any one directory stays quick; a search that would find them all stops
// with one box once their locations fill 256 MB, and finds deep files one by one.
TEST_F(HostileCatalogs, AHundredThousandLevelsWithAFileAtEach)
{
    constexpr std::size_t kDepth = 100000;
    std::string xml = crlf({ kDeclaration, R"(<Disk title="deepfiles" Label="/m">)" });
    std::string idx = xml;
    for (std::size_t level = 1; level <= kDepth; ++level) {
        xml += directoryLine("d") + "\r\n" + fileLine("f" + std::to_string(level)) + "\r\n";
        idx += directoryLine("d") + "\r\n";
    }
    for (std::size_t level = 0; level < kDepth; ++level) {
        xml += "</Directory>\r\n";
        idx += "</Directory>\r\n";
    }
    xml += "</Disk>\r\n";
    idx += "</Disk>\r\n";
    writePair("deepfiles", xml, idx);

    const auto start = std::chrono::steady_clock::now();
    startUp();
    browse::NodeId node = root("deepfiles");
    while (!m_browser->tree().children(node).empty())
        node = m_browser->tree().children(node)[0];
    EXPECT_EQ(listNode(node), Names { "f100000" });
    EXPECT_EQ(m_list->cell(0, FileColumn::FLocate).size(), 2 + 2 * kDepth + 8);

    const auto searchStart = std::chrono::steady_clock::now();
    const std::size_t found = findAll("f").size();
    const double searching = secondsSince(searchStart);
    EXPECT_GT(found, 10000u);
    EXPECT_LT(found, kDepth);
    ASSERT_EQ(m_lastFill.size(), 1u);
    EXPECT_EQ(m_lastFill[0].text, "查找文件时出错！\r\n错误描述：找到的文件位置总长超过 256 MB，其余的文件没有列出。");
    EXPECT_EQ(m_lastFill[0].title, "frmMain-findFileInXml");
    EXPECT_EQ(m_list->cell(found - 1, FileColumn::FLocate).size(), 2 + 2 * found + 2 + std::to_string(found).size());

    EXPECT_EQ(findAll("f99999"), Names { "f99999" });
    EXPECT_EQ(m_list->cell(0, FileColumn::FLocate).size(), 2 + 2 * 99999 + 7);
    EXPECT_TRUE(m_lastFill.empty());
    expectGoodCatalogUnaffected();
    std::cout << "[ timing   ] 100,000 levels with a file at each: searched in " << searching << " s, all in "
              << secondsSince(start) << " s\n";
    EXPECT_LT(searching, 30.0);
}

// A directory of a million files: listing, searching and sorting it must stay linear.
TEST_F(HostileCatalogs, AMillionFilesInOneDirectory)
{
    const std::size_t count = scaled(1000000, 200000);
    const std::string date = tests::toGb2312(kDate);
    std::string xml = crlf({ kDeclaration, R"(<Disk title="wide" Label="/m">)", directoryLine("big") });
    xml.reserve(count * 80);
    char name[32];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "file%07zu.dat", count - 1 - i);
        xml.append("<File CreateDate=\"").append(date).append("\" FileSize=\"");
        xml.append(std::to_string(i % 5000)).append("KB\">").append(name).append("</File>\r\n");
    }
    xml += crlf({ "</Directory>", "</Disk>" });
    writePair("wide", xml,
        crlf({ kDeclaration, R"(<Disk title="wide" Label="/m">)", directoryLine("big"), "</Directory>", "</Disk>" }),
        false);
    xml = std::string();

    startUp();
    const auto listStart = std::chrono::steady_clock::now();
    EXPECT_EQ(listNode(child(root("wide"), { 0 })).size(), count);
    const double listing = secondsSince(listStart);
    EXPECT_EQ(m_list->row(count - 1),
        (search::FileRow {
            "file0000000.dat", std::to_string((count - 1) % 5000) + "KB", kDate, "/m/big/file0000000.dat", "" }));

    const auto sortStart = std::chrono::steady_clock::now();
    m_list->columnClick(1);
    const double sorting = secondsSince(sortStart);
    EXPECT_EQ(m_list->cell(0, FileColumn::FName), "file0000000.dat");
    std::snprintf(name, sizeof name, "file%07zu.dat", count - 1);
    EXPECT_EQ(m_list->cell(count - 1, FileColumn::FLocate), "/m/big/" + std::string(name));

    const auto searchStart = std::chrono::steady_clock::now();
    EXPECT_EQ(findAll("FILE0").size(), count);
    const double searching = secondsSince(searchStart);
    EXPECT_EQ(findAll("file0000001").size(), 1u);
    EXPECT_EQ(m_list->row(0),
        (search::FileRow {
            "file0000001.dat", std::to_string((count - 2) % 5000) + "KB", kDate, "/m/big/file0000001.dat", "wide" }));
    EXPECT_TRUE(findAll("zzz").empty());
    m_list = std::make_unique<search::FileList>(); // unsorted again, as the good catalog expects
    expectGoodCatalogUnaffected();
    std::cout << "[ timing   ] " << count << " files in one directory: listed in " << listing << " s, sorted in "
              << sorting << " s, searched in " << searching << " s\n";
    // Generous bounds: only work that grows faster than the rows could exceed them.
    EXPECT_LT(listing, 30.0);
    EXPECT_LT(sorting, 30.0);
    EXPECT_LT(searching, 30.0);
}

} // namespace
} // namespace mellowby::hardening
