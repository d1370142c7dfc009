#pragma once

#include <cstddef>
#include <string>

namespace mellowby::search {

// Why a query cannot be read, and where: the column (from 1, in characters) and what was expected
// there, in words the user reads.
struct QueryError {
    std::size_t column = 1;
    std::string expected;

    // "第 7 列：缺少与第 1 列的“(”配对的“)”"
    std::string text() const { return "第 " + std::to_string(column) + " 列：" + expected; }
    // The whole sentence the user is shown: "查询有误，第 7 列：……。"
    std::string message() const { return "查询有误，" + text() + "。"; }

    bool operator==(const QueryError&) const = default;
};

} // namespace mellowby::search
