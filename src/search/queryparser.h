#pragma once

#include <expected>
#include <string_view>

#include "search/queryerror.h"
#include "search/queryexpression.h"

namespace mellowby::search {

// Reads a query into its tree, or says where it cannot be read and what was expected there.
//
// Terms side by side must all hold; | and OR bind closer than that, so "photo jpg|png" is photo
// and (jpg or png), as desktop finders read it; ! and NOT bind closest, to the one term or group
// after them. case: before a term or a group makes its words, paths and regular expressions
// heed letter case. Groups nest at most kMaxQueryDepth deep.
std::expected<QueryNode, QueryError> parseQuery(std::string_view query);

inline constexpr std::size_t kMaxQueryDepth = 200;

} // namespace mellowby::search
