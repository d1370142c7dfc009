#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "browse/catalogtree.h"
#include "search/nodeaddress.h"

namespace pugi {
class xml_node;
}

namespace mellowby::browse {
class CatalogBrowser;
}

namespace mellowby::catalog {
class CatalogDocument;
} // namespace mellowby::catalog

namespace mellowby::names {
class NamesIndexCache;
}

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

class IRowList;

// Where a tree node lies in its catalog.
NodeAddress addressOf(const browse::CatalogTree& tree, browse::NodeId node);

// Lists the files of the tree's selected node (selecting the first node when none is) and
// makes its catalog the current one.
void FreshRightList(browse::CatalogBrowser& browser, IRowList& list);

// Refills the list with the files held directly in one directory of the catalog catalogName:
// the Disk element for an empty address (whose title must then be title), else the Directory
// the address leads to. A catalog file that is missing or does not parse gives an empty list.
// False after a failure, which the error box has reported; the rows before it stay.
bool getAllXmlNodeByName(browse::CatalogBrowser& browser, IRowList& list, const std::string& catalogName,
    const std::string& title, const NodeAddress& address);
// The same for a catalog already in memory; a root title of nothing takes the Disk element
// whatever its title.
bool listDocumentFiles(platform::IMessageBox& box, IRowList& list, const catalog::CatalogDocument& document,
    const std::optional<std::string>& title, const NodeAddress& address);

// Refills the list with the files of the folder at address in the catalog catalogName, straight
// from the Data folder, without a tree: true when the catalog has that folder, false when it has
// none (the list is then empty), nothing when the catalog cannot be read.
std::optional<bool> listCatalogFolder(const names::NamesIndexCache& indexes, platform::IMessageBox& box, IRowList& list,
    const std::string& catalogName, const NodeAddress& address);

// The location of a catalog element: the Disk Label, the titles of the directories on the way
// down and the element's own name, joined by the catalog's separator with doubled separators
// collapsed. A level that cannot be named is reported in the error box.
std::string getXmlParentNode(platform::IMessageBox& box, const pugi::xml_node& node);

} // namespace mellowby::search
