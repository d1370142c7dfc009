#pragma once

#include "search/filesearch.h"
#include "search/queryexpression.h"

namespace mellowby::names {
class NamesIndexCache;
}

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

class IRowList;

inline constexpr const char* kAdvancedFindTitle = "高级查找";

// The advanced find's button, once its query has been read (parseQuery gives the fault of one
// that cannot be): refills list with the rows query finds in the catalogs of scope, as the find
// panel refills it. A scope of the current catalog when there is none is said in a box, and the
// list keeps its rows.
void cmdQuery_Click(const names::NamesIndexCache& indexes, platform::IMessageBox& box, IRowList& list,
    const QueryNode& query, const SearchScope& scope);

} // namespace mellowby::search
