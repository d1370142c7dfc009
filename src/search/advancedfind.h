#pragma once

#include <optional>
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
// in the catalogs of scope, as the find panel refills it. A query that cannot be read gives what
// the dialog shows beside it ("查询有误，第 N 列：……。"); a scope of the current catalog when
// there is none is said in a box. Either way the list keeps its rows.
std::optional<std::string> cmdQuery_Click(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    IRowList& list, const std::string& queryText, const SearchScope& scope);

} // namespace mellowby::search
