#pragma once

#include <string>

namespace mellowby::browse {
class CatalogBrowser;
}

namespace mellowby::search {

class FileList;

// "删除目录": after asking, deletes the current catalog.
void mnuEditDele_Click(browse::CatalogBrowser& browser, FileList& list);

// Moves the catalog proper of name into the trash (its index twin stays in Data, so putting the
// file back from the trash brings the catalog back) and takes the catalog out of the tree, the
// collection and the list. A name that would lead out of the Data folder touches nothing.
bool DelXmlFile(browse::CatalogBrowser& browser, FileList& list, const std::string& name);

} // namespace mellowby::search
