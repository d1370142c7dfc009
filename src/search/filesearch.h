#pragma once

#include <string>
#include <string_view>

namespace mellowby::browse {
class CatalogBrowser;
}

namespace mellowby::search {

class FileList;

// Upper case by the Unicode rules for every letter that has a case.
std::string toUpperText(std::string_view utf8);

// The find button: searches txtFind's text in every loaded catalog (allCatalogs) or in the
// current one.
void cmdFind_Click(browse::CatalogBrowser& browser, FileList& list, const std::string& txtFind, bool allCatalogs);

// Appends the rows of catalogName whose upper-cased file name contains findText (already trimmed
// and upper-cased).
void findFileInXml(browse::CatalogBrowser& browser, FileList& list, const std::string& findText,
                   const std::string& catalogName);

} // namespace mellowby::search
