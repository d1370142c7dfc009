#pragma once

#include <string>

#include "search/filesearch.h"

namespace mellowby::names {
class NamesIndexCache;
}

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

class IRowList;

inline constexpr const char* kAdvancedFindTitle = "高级查找";

// The advanced find's button: reads queryText as a query and refills list with the rows it finds
// in the catalogs of scope, as the find panel refills it. A query that cannot be read, and a
// scope of the current catalog when there is none, are said in a box, and the list keeps its rows.
// True when the list was refilled.
bool cmdQuery_Click(const names::NamesIndexCache& indexes, platform::IMessageBox& box, IRowList& list,
    const std::string& queryText, const SearchScope& scope);

} // namespace mellowby::search
