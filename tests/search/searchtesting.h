#pragma once

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <unistd.h>

#include "browse/catalogbrowser.h"
#include "catalog/catalogstore.h"
#include "fakes/fakemessagebox.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"
#include "search/filelist.h"
#include "support/catalogmaker.h"
#include "support/temporaryfolder.h"

namespace mellowby::search::testing {

// A program folder of its own with its Data folder, a browser over that and a file list to fill.
class DataFolderTest : public ::testing::Test {
protected:
    DataFolderTest() { std::filesystem::create_directory(m_data); }

    // A catalog pair written by hand, in UTF-8: body is everything inside the root element. The
    // index twin is the same without File elements.
    void writeRaw(const std::string& stem, const std::string& rootOpening, const std::string& body)
    {
        const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
        const std::string xml = declaration + rootOpening + "\r\n" + body + "\r\n</Disk>\r\n";
        tests::writeFile(m_data / (stem + ".xml"), xml);
        tests::writeFile(m_data / (stem + ".idx"), withoutFiles(xml));
    }

    static std::string withoutFiles(const std::string& xml)
    {
        std::string twin;
        std::size_t from = 0;
        for (std::size_t at = xml.find("<File", from); at != std::string::npos; at = xml.find("<File", from)) {
            twin.append(xml, from, at - from);
            const std::size_t tagEnd = xml.find('>', at);
            from = xml[tagEnd - 1] == '/' ? tagEnd + 1 : xml.find("</File>", tagEnd) + 7;
        }
        return twin.append(xml, from);
    }

    void loadAll() { m_browser.getAllXmlToTree(); }

    // The node reached from the root of catalog by child positions.
    browse::NodeId node(std::size_t catalog, std::vector<std::size_t> path = {}) const
    {
        browse::NodeId at = m_browser.tree().roots().at(catalog);
        for (const std::size_t position : path)
            at = m_browser.tree().children(at).at(position);
        return at;
    }

    std::vector<std::string> column(FileColumn which) const
    {
        std::vector<std::string> cells;
        for (std::size_t i = 0; i < m_list.size(); ++i)
            cells.push_back(m_list.cell(i, which));
        return cells;
    }
    std::vector<std::string> names() const { return column(FileColumn::FName); }

    std::vector<std::string> titles() const
    {
        std::vector<std::string> texts;
        for (const auto& box : m_box.shown)
            texts.push_back(box.title);
        return texts;
    }

    tests::TemporaryFolder m_temporary;
    std::filesystem::path m_folder = m_temporary.path();
    std::filesystem::path m_data = m_folder / "Data";
    fakes::FakeMessageBox m_box;
    platform::LinuxFileSystem m_fileSystem;
    catalog::CatalogStore m_store { m_data.string(), m_fileSystem };
    names::NamesIndexCache m_indexes { m_store, names::userCacheFolder() };
    browse::CatalogBrowser m_browser { m_indexes, m_box };
    FileList m_list;
};

using Names = std::vector<std::string>;

} // namespace mellowby::search::testing
