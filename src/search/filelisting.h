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

namespace mellowby::catalog {
class CatalogDocument;
}

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

class FileList;

// Where a tree node lies in its catalog: for each level from the first below the root down to
// the node, the node's label and its position among the siblings that carry the same label.
// Empty for a root.
using NodeAddress = std::vector<std::pair<std::string, std::size_t>>;
NodeAddress addressOf(const browse::CatalogTree& tree, browse::NodeId node);

// Lists the files of the tree's selected node (selecting the first node when none is) and
// makes its catalog the current one.
void FreshRightList(browse::CatalogBrowser& browser, FileList& list);

// Refills the list with the files held directly in one directory of the catalog catalogName:
// the Disk element for an empty address (whose title must then be title), else the Directory
// the address leads to. A catalog file that is missing or does not parse gives an empty list.
// False after a failure, which the error box has reported; the rows before it stay.
bool getAllXmlNodeByName(browse::CatalogBrowser& browser, FileList& list, const std::string& catalogName,
    const std::string& title, const NodeAddress& address);
// The same for a catalog already in memory.
bool listDocumentFiles(platform::IMessageBox& box, FileList& list, const catalog::CatalogDocument& document,
    const std::string& title, const NodeAddress& address);

// The location of a catalog element: the Disk Label, the titles of the directories on the way
// down and the element's own name, joined by the catalog's separator with doubled separators
// collapsed. A level that cannot be named is reported in the error box.
std::string getXmlParentNode(browse::CatalogBrowser& browser, const pugi::xml_node& node);

// The path of the Data file of a catalog name: name + ".xml" unless it ends in ".xml" already,
// found without regard to letter case. Empty for a name that cannot be a file of that folder
// (it holds "/" or a NUL).
std::string catalogFilePath(const std::string& dataDir, const std::string& catalogName);

} // namespace mellowby::search
