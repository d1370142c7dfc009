#pragma once

#include <string>
#include <string_view>

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

// Upper case by the Unicode rules for every letter that has a case, whatever the user's
// language ("straße" gives "STRASSE"). Bytes that are not valid UTF-8 are kept as they are.
std::string toUpperText(std::string_view utf8);

// The find button: searches txtFind's text (blanks around it ignored, letter case too) in every
// loaded catalog (allCatalogs) or in the current one, and refills the list with the hits.
void cmdFind_Click(browse::CatalogBrowser& browser, FileList& list, const std::string& txtFind, bool allCatalogs);

// Appends the rows of catalogName whose upper-cased file name contains findText (already trimmed
// and upper-cased). A catalog file that is missing or does not parse adds nothing.
void findFileInXml(
    browse::CatalogBrowser& browser, FileList& list, const std::string& findText, const std::string& catalogName);

// The same for a catalog already in memory, whose rows name catalogName as their catalog.
void findFileInDocument(platform::IMessageBox& box, FileList& list, const std::string& findText,
    const catalog::CatalogDocument& document, const std::string& catalogName);

} // namespace mellowby::search
