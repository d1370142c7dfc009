#pragma once

// The names index held against the document model, which stays the reference: for the bytes of a
// catalog, the rows and boxes of a search for each of some texts and of the listing of every
// folder, made both ways. Shared by the tests and the catalog fuzzer.

#include <cstddef>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalog/catalogreader.h"
#include "fakes/fakemessagebox.h"
#include "names/memoryfile.h"
#include "names/namesindexcache.h"
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/filesearch.h"
#include "search/indexedrows.h"
#include "search/nodeaddress.h"
#include "search/rowlist.h"

namespace mellowby::tests {

// Every row as it came, and how often the list was cleared.
class RecordedRows final : public search::IRowList {
public:
    void clear() override
    {
        rows.clear();
        ++clears;
    }
    void appendRow(std::string_view name, std::string_view size, std::string_view date, std::string_view directory,
        std::string_view catalog) override
    {
        rows.push_back({ std::string(name), std::string(size), std::string(date),
            std::string(directory) + std::string(name), std::string(catalog) });
    }
    void appendNameOnly(std::string_view name) override { rows.push_back({ std::string(name), "", "", "", "-" }); }
    void flush() override { }
    void finishFill() override { }

    std::vector<search::FileRow> rows;
    int clears = 0;
};

struct Outcome {
    std::vector<search::FileRow> rows;
    std::vector<platform::MessageRequest> boxes;
    bool operator==(const Outcome&) const = default;
};

inline std::string describe(const Outcome& outcome)
{
    std::ostringstream text;
    text << outcome.rows.size() << " rows";
    for (std::size_t i = 0; i < outcome.rows.size() && i < 5; ++i) {
        const search::FileRow& row = outcome.rows[i];
        text << " | " << row.name << " " << row.size << " " << row.date << " " << row.location << " " << row.catalog;
    }
    for (const auto& box : outcome.boxes)
        text << " | box " << box.title << ": " << box.text;
    return text.str();
}

// Every folder of the document as the tree addresses it: the Disk element, then each Directory
// in document order.
inline std::vector<search::NodeAddress> addressesOf(const catalog::CatalogDocument& document)
{
    std::vector<search::NodeAddress> addresses { {} };
    const pugi::xml_node disk = document.documentElement();
    if (!disk || std::string_view(disk.name()) != "Disk")
        return addresses;
    struct Level {
        pugi::xml_node node;
        search::NodeAddress address;
    };
    std::vector<Level> pending { { disk, {} } };
    while (!pending.empty()) {
        const Level level = std::move(pending.back());
        pending.pop_back();
        std::vector<Level> children;
        std::map<std::string, std::size_t> seen; // siblings of each title so far
        for (pugi::xml_node child = level.node.first_child(); child; child = child.next_sibling()) {
            if (std::string_view(child.name()) != "Directory")
                continue;
            const std::string title = catalog::attributeAt(child, 0).value();
            const std::size_t position = seen[title]++;
            search::NodeAddress address = level.address;
            address.emplace_back(title, position);
            addresses.push_back(address);
            children.push_back({ child, std::move(address) });
        }
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            pending.push_back(std::move(*child));
    }
    return addresses;
}

// What differs between the document model and the names index made from the same bytes, for a
// search of each of upperTexts and a listing of every folder; nothing when they agree. indexed
// tells whether an index was made at all: a catalog the index is not made for is read directly,
// and then there is nothing to compare, but a catalog the document model cannot read must never
// get one.
struct Comparison {
    bool indexed = false;
    std::optional<std::string> difference;
};

inline Comparison compareIndexWithDocument(
    const std::string& bytes, const std::vector<std::string>& upperTexts, std::size_t maxFolders = 1000)
{
    Comparison comparison;
    const names::IndexKey key { "/data", "catalog.xml", {} };
    const auto index = names::indexInMemory(names::MemoryFile(bytes), key);
    catalog::CatalogDocument document;
    const bool loaded = document.loadBytes(bytes);
    comparison.indexed = index.has_value();
    if (!index)
        return comparison;
    if (!loaded) {
        comparison.difference = "an index was made of a catalog the document model cannot read";
        return comparison;
    }
    const std::string catalogName = "catalog";
    for (const std::string& text : upperTexts) {
        Outcome fromDocument;
        Outcome fromIndex;
        {
            fakes::FakeMessageBox box;
            RecordedRows rows;
            search::findFileInDocument(box, rows, text, document, catalogName);
            fromDocument = { rows.rows, box.shown };
        }
        {
            fakes::FakeMessageBox box;
            RecordedRows rows;
            std::size_t given = 0;
            if (!search::searchIndex(*index, box, rows, text, catalogName, given)) {
                comparison.difference = "the index turned out damaged searching \"" + text + "\"";
                return comparison;
            }
            fromIndex = { rows.rows, box.shown };
        }
        if (fromDocument != fromIndex) {
            comparison.difference = "search \"" + text + "\": document model " + describe(fromDocument) + "; index "
                + describe(fromIndex);
            return comparison;
        }
    }
    const auto addresses = addressesOf(document);
    for (std::size_t i = 0; i < addresses.size() && i < maxFolders; ++i) {
        const search::NodeAddress& address = addresses[i];
        Outcome fromDocument;
        Outcome fromIndex;
        {
            fakes::FakeMessageBox box;
            RecordedRows rows;
            search::listDocumentFiles(box, rows, document, std::nullopt, address);
            fromDocument = { rows.rows, box.shown };
        }
        {
            fakes::FakeMessageBox box;
            RecordedRows rows;
            std::size_t given = 0;
            const auto found = search::listIndexFolder(*index, rows, std::nullopt, address, given);
            if (!found) {
                comparison.difference = "the index turned out damaged listing folder " + std::to_string(i);
                return comparison;
            }
            if (!*found) {
                comparison.difference = "the index has no folder " + std::to_string(i);
                return comparison;
            }
            fromIndex = { rows.rows, box.shown };
        }
        if (fromDocument != fromIndex) {
            comparison.difference = "folder " + std::to_string(i) + ": document model " + describe(fromDocument)
                + "; index " + describe(fromIndex);
            return comparison;
        }
    }
    return comparison;
}

} // namespace mellowby::tests
