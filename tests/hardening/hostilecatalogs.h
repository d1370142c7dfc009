#pragma once

// What the hostile catalog tests share: a good catalog beside the hostile ones, which must load,
// list and search as ever, and the program's start, listing and search with the boxes each may show.

#include "hardening.h"

#include <chrono>
#include <gtest/gtest.h>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browse/catalogbrowser.h"
#include "catalog/catalogstore.h"
#include "fakes/fakemessagebox.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/filesearch.h"
#include "support/catalogmaker.h"
#include "support/gb2312testtexts.h"

namespace mellowby::hardening {

using search::FileColumn;
using tests::CatalogMaker;
using Names = std::vector<std::string>;

inline constexpr std::string_view kDeclaration = R"(<?xml version ="1.0" encoding ="GB2312" standalone="yes" ?>)";
inline constexpr const char* kDate = "2004年3月15日";

// The messages of the error boxes that loading, listing and searching may show, by title.
inline const std::map<std::string, std::string> kErrorBoxes {
    { "frmMain-ShowXml", "显示XML文件时出错！" },
    { "frmMain-AddNode", "添加XML内容到树时出错！" },
    { "frmMain-FreshRightList", "刷新右侧列表时出错！" },
    { "frmMain-getAllXmlNodeByName", "取得XML节点时出错！" },
    { "frmMain-getXmlParentNode", "取出XML文件节点上级节点名称时出错！" },
    { "frmMain-cmdFind_Click", "查找指定文件进出错！" },
    { "frmMain-findFileInXml", "查找文件时出错！" },
};

// Lines of a catalog as the writer ends them.
inline std::string crlf(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (const auto line : lines)
        text.append(line).append("\r\n");
    return text;
}

inline std::string fileLine(std::string_view name, std::string_view size = "1KB", std::string_view date = kDate)
{
    return "<File CreateDate=\"" + std::string(date) + "\" FileSize=\"" + std::string(size) + "\">" + std::string(name)
        + "</File>";
}

inline std::string directoryLine(std::string_view title)
{
    return "<Directory title=\"" + std::string(title) + "\" CreateDate=\"" + kDate + "\">";
}

class HostileCatalogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        CatalogMaker maker(m_data.path());
        maker.directory("", { CatalogMaker::file("readme.txt", 1500), CatalogMaker::dir("docs") });
        maker.directory("docs", { CatalogMaker::file("好文件.txt", 2048), CatalogMaker::file("a&b.txt", 1) });
        ASSERT_TRUE(maker.write("good"));
    }

    // A pair written byte for byte; GB2312 text is given as UTF-8 and converted here.
    void writePair(const std::string& stem, const std::string& xml, const std::string& idx, bool toGb2312 = true)
    {
        writeFile(m_data / (stem + ".xml"), toGb2312 ? tests::toGb2312(xml) : xml);
        writeFile(m_data / (stem + ".idx"), toGb2312 ? tests::toGb2312(idx) : idx);
        ++tally().catalogs;
    }

    // The start of the program: every catalog of Data into the tree, the first node listed.
    void startUp()
    {
        m_browser = std::make_unique<browse::CatalogBrowser>(m_indexes, m_box);
        m_list = std::make_unique<search::FileList>();
        // Each catalog is a fill of its own, so the same box may come once per catalog here.
        fill(
            [this] {
                m_browser->getAllXmlToTree();
                search::FreshRightList(*m_browser, *m_list);
            },
            false);
    }

    browse::NodeId root(const std::string& label) const
    {
        for (const browse::NodeId node : m_browser->tree().roots()) {
            if (m_browser->tree().label(node) == label)
                return node;
        }
        ADD_FAILURE() << "no catalog labelled " << label;
        return browse::kNoNode;
    }

    // The node reached from a root by child positions.
    browse::NodeId child(browse::NodeId from, const std::vector<std::size_t>& path) const
    {
        for (const std::size_t position : path)
            from = m_browser->tree().children(from).at(position);
        return from;
    }

    Names listNode(browse::NodeId node)
    {
        fill([&] {
            m_browser->tree().select(node);
            search::FreshRightList(*m_browser, *m_list);
        });
        return column(FileColumn::FName);
    }

    Names findAll(const std::string& text)
    {
        fill(
            [&] { search::cmdFind_Click(m_indexes, m_box, *m_list, text, search::SearchScope::of(*m_browser, true)); });
        return column(FileColumn::FName);
    }

    Names column(FileColumn which) const
    {
        Names cells;
        for (std::size_t i = 0; i < m_list->size(); ++i)
            cells.push_back(m_list->cell(i, which));
        return cells;
    }

    // One fill of the tree or the list: the boxes it shows are the program's own, each at most once.
    template <typename Action> void fill(Action action, bool oneFill = true)
    {
        const std::size_t before = m_box.shown.size();
        action();
        const std::vector<platform::MessageRequest> shown(
            m_box.shown.begin() + static_cast<std::ptrdiff_t>(before), m_box.shown.end());
        if (oneFill) {
            EXPECT_EQ(repeatedBoxes(shown), Names {});
        }
        for (const auto& box : shown) {
            const auto message = kErrorBoxes.find(box.title);
            ASSERT_NE(message, kErrorBoxes.end()) << box.title << ": " << box.text;
            EXPECT_TRUE(box.text.starts_with(message->second)) << box.title << ": " << box.text;
            EXPECT_EQ(box.icon, platform::MessageIcon::Warning);
            EXPECT_EQ(box.buttons, platform::MessageButtons::Ok);
        }
        m_lastFill = shown;
    }

    Names lastTitles() const
    {
        Names titles;
        for (const auto& box : m_lastFill)
            titles.push_back(box.title);
        return titles;
    }

    // The good catalog beside the hostile ones still loads, lists and searches as it should.
    void expectGoodCatalogUnaffected()
    {
        const browse::NodeId good = root("good");
        ASSERT_NE(good, browse::kNoNode);
        EXPECT_EQ(listNode(good), Names { "readme.txt" });
        EXPECT_TRUE(m_lastFill.empty());
        ASSERT_EQ(m_browser->tree().children(good).size(), 1u);
        EXPECT_EQ(listNode(child(good, { 0 })), (Names { "好文件.txt", "a&b.txt" }));
        EXPECT_EQ(m_list->row(0), (search::FileRow { "好文件.txt", "2KB", kDate, "/media/cdrom/docs/好文件.txt", "" }));
        EXPECT_EQ(m_browser->currentCatalogName(), "good");
        fill([&] {
            search::cmdFind_Click(m_indexes, m_box, *m_list, "好文件", search::SearchScope::of(*m_browser, true));
        });
        ASSERT_EQ(m_list->size(), 1u);
        EXPECT_EQ(
            m_list->row(0), (search::FileRow { "好文件.txt", "2KB", kDate, "/media/cdrom/docs/好文件.txt", "good" }));
    }

    TemporaryFolder m_data;
    platform::LinuxFileSystem m_fileSystem;
    catalog::CatalogStore m_store { m_data.path(), m_fileSystem };
    names::NamesIndexCache m_indexes { m_store, names::userCacheFolder() };
    fakes::FakeMessageBox m_box;
    std::unique_ptr<browse::CatalogBrowser> m_browser;
    std::unique_ptr<search::FileList> m_list;
    std::vector<platform::MessageRequest> m_lastFill;
};

} // namespace mellowby::hardening
