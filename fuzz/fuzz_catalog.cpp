// The bytes are a catalog file as it could lie in Data after a damaged disc, a hand edit or a
// foreign program. Whatever they hold, reading them, filling the tree, listing its nodes,
// locating every file and searching must neither crash nor break what they promise, and the
// names index made of the bytes must give the very rows the document gives.

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "browse/catalogbrowser.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "fakes/fakemessagebox.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/filesearch.h"
#include "search/xmllocator.h"
#include "support/indexcomparison.h"

namespace {

using namespace mellowby;
using fuzz::require;

// Listing a node walks its path from the root, so an input of a few kilobytes nested a thousand
// deep would spend seconds on every node; the first nodes already reach every kind of level.
constexpr std::size_t kNodesListed = 64;
constexpr const char* kCatalogName = "fuzz";

std::vector<browse::NodeId> nodesInOrder(const browse::CatalogTree& tree, browse::NodeId root)
{
    std::vector<browse::NodeId> nodes;
    std::vector<browse::NodeId> pending { root };
    while (!pending.empty()) {
        const browse::NodeId node = pending.back();
        pending.pop_back();
        nodes.push_back(node);
        const auto& children = tree.children(node);
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            pending.push_back(*child);
    }
    return nodes;
}

void fillAndListTree(browse::CatalogBrowser& browser, const catalog::CatalogDocument& document, std::size_t fileCount)
{
    const browse::NodeId root = browser.AddNode(document.documentElement(), browse::kNoNode);
    const browse::CatalogTree& tree = browser.tree();
    require(root != browse::kNoNode && tree.roots().size() == 1 && tree.roots().front() == root,
        "a loaded catalog gives exactly one root");

    const auto nodes = nodesInOrder(tree, root);
    for (std::size_t i = 0; i < nodes.size() && i < kNodesListed; ++i) {
        std::string catalogName;
        const std::string path = browse::getParentNode(tree, nodes[i], catalogName);
        require(path.starts_with("Disk") && catalogName == tree.label(root), "a node's path starts at its root");

        search::FileList list;
        const search::NodeAddress address = search::addressOf(tree, nodes[i]);
        require(address.empty() == (nodes[i] == root), "only the root has an empty address");
        search::listDocumentFiles(browser.box(), list, document, tree.label(nodes[i]), address);
        require(list.size() <= fileCount, "a listing shows files of the catalog only");
    }
}

// Each File's location, checked against the prefix its directory gives every file of it: the
// file list shows the one, the search the other.
void locateFiles(browse::CatalogBrowser& browser, fakes::FakeMessageBox& box, const pugi::xpath_node_set& files)
{
    for (const pugi::xpath_node& found : files) {
        const pugi::xml_node file = found.node();
        const std::size_t boxesBefore = box.shown.size();
        const std::string location = search::getXmlParentNode(browser.box(), file);
        const char separator = search::XmlLocator::separatorOf(file);
        const std::string prefix = search::XmlLocator(box, separator).prefixFor(file.parent());
        const pugi::xml_node text = file.first_child();
        if (!text || box.shown.size() != boxesBefore)
            continue;
        const std::string_view name = text.value();
        if (name.find(separator) == std::string_view::npos)
            require(location == prefix + std::string(name), "a file's location is its directory's prefix and name");
    }
}

void searchFiles(
    fakes::FakeMessageBox& box, const catalog::CatalogDocument& document, const pugi::xpath_node_set& files)
{
    // Empty text is found in every name: one row per File, unless a damaged File stopped it.
    const std::size_t boxesBefore = box.shown.size();
    search::FileList everything;
    search::findFileInDocument(box, everything, "", document, kCatalogName);
    if (box.shown.size() == boxesBefore)
        require(everything.size() == files.size(), "an undisturbed search visits every File");
    for (std::size_t column = 1; column <= search::kFileColumnCount; ++column) {
        const std::size_t rows = everything.size();
        everything.columnClick(column);
        require(everything.size() == rows, "sorting keeps every row");
    }

    // A file's own name, upper-cased as the find box does, finds at least that file.
    const pugi::xml_node first = files.empty() ? pugi::xml_node() : files.first().node();
    if (!first || !first.first_child())
        return;
    const std::size_t boxesBeforeName = box.shown.size();
    search::FileList hits;
    search::findFileInDocument(box, hits, search::toUpperText(first.first_child().value()), document, kCatalogName);
    if (box.shown.size() == boxesBeforeName)
        require(hits.size() >= 1, "a file's own name finds it");
}

// The names index made of the same bytes gives the rows the document gives, for every folder and
// for texts that reach every case rule; and none is made of a catalog the document model refuses.
void compareWithTheIndex(const std::string& bytes, const pugi::xpath_node_set& files)
{
    std::vector<std::string> texts = { "", "A", "SS", "É", "I", "K", "照", "/" };
    if (!files.empty() && files.first().node().first_child())
        texts.push_back(search::toUpperText(files.first().node().first_child().value()));
    const tests::Comparison comparison = tests::compareIndexWithDocument(bytes, texts, kNodesListed);
    if (comparison.difference)
        std::fprintf(stderr, "%s\n", comparison.difference->c_str());
    require(!comparison.difference, "the names index gives the rows of the document model");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    catalog::CatalogDocument document;
    const bool loaded = document.loadBytes(std::string(reinterpret_cast<const char*>(data), size));
    require(loaded == document.loaded(), "loadBytes reports what it loaded");
    if (!loaded) {
        require(!document.loadError().description.empty(), "a failed load says why");
        require(!document.documentElement(), "a failed load leaves no tree behind");
        return 0;
    }

    const pugi::xpath_node_set files = catalog::selectAllFiles(document);
    fakes::FakeMessageBox box;
    // The store is never asked for a file here: the tree is filled from the document itself.
    platform::LinuxFileSystem fileSystem;
    const catalog::CatalogStore store("", fileSystem);
    const names::NamesIndexCache indexes(store, std::nullopt);
    browse::CatalogBrowser browser(indexes, box);
    fillAndListTree(browser, document, files.size());
    locateFiles(browser, box, files);
    searchFiles(box, document, files);
    compareWithTheIndex(std::string(reinterpret_cast<const char*>(data), size), files);
    return 0;
}
