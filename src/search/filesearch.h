#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// Upper case by the Unicode rules for every letter that has a case, whatever the user's
// language ("straße" gives "STRASSE"). Bytes that are not valid UTF-8 are kept as they are.
std::string toUpperText(std::string_view utf8);

// Which catalogs a search covers: every loaded one, in the order they were loaded, or the
// current one.
struct SearchScope {
    bool allCatalogs = true;
    std::vector<std::string> loadedCatalogs;
    std::string currentCatalog;

    // The scope the find panel gives: the browser's loaded catalogs and current catalog.
    static SearchScope of(const browse::CatalogBrowser& browser, bool allCatalogs);
};

// Whether a find text has nothing to look for: it is empty or spaces alone. The find button then
// only says so.
bool isBlankFindText(std::string_view text);

// The find button: searches txtFind's text (blanks around it ignored, letter case too) in the
// catalogs of scope, through their names indexes (or their files, where there is none), and
// refills the list with the hits.
void cmdFind_Click(const names::NamesIndexCache& indexes, platform::IMessageBox& box, IRowList& list,
    const std::string& txtFind, const SearchScope& scope);

// Appends the rows of catalogName whose upper-cased file name contains findText (already trimmed
// and upper-cased). A catalog file that is missing or does not parse adds nothing.
void findFileInXml(const names::NamesIndexCache& indexes, platform::IMessageBox& box, IRowList& list,
    const std::string& findText, const std::string& catalogName);

// The same for a catalog already in memory, whose rows name catalogName as their catalog.
void findFileInDocument(platform::IMessageBox& box, IRowList& list, const std::string& findText,
    const catalog::CatalogDocument& document, const std::string& catalogName);

} // namespace mellowby::search
