#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "browse/catalogtree.h"

namespace pugi {
class xml_node;
}

namespace mellowby::browse {
class CatalogBrowser;
}

namespace mellowby::search {

class FileList;

// Where a tree node lies in its catalog: the title of each node from the first level below the
// root down to the node, with the node's position among its siblings of the same title.
using NodeAddress = std::vector<std::pair<std::string, std::size_t>>;
NodeAddress addressOf(const browse::CatalogTree& tree, browse::NodeId node);

// Lists the files of the tree's selected node (selecting the first node when none is) and
// makes its catalog the current one.
void FreshRightList(browse::CatalogBrowser& browser, FileList& list);

// Refills the list with the files held directly in the directory at address of the catalog
// catalogName; false after a failure (reported in the error box).
bool getAllXmlNodeByName(browse::CatalogBrowser& browser, FileList& list, const std::string& elementPath,
                         const std::string& catalogName, const std::string& title, const NodeAddress& address);

// The location of a catalog element: the Disk Label, the titles of the directories on the way
// down and the element's own name, joined by the catalog's separator with doubled separators
// collapsed.
std::string getXmlParentNode(browse::CatalogBrowser& browser, const pugi::xml_node& node);

// The path of the Data file of a catalog name: name + ".xml" unless it ends in ".xml" already,
// found without regard to letter case.
std::string catalogFilePath(const std::string& dataDir, const std::string& catalogName);

} // namespace mellowby::search
