#include "catalogdb/databasestate.h"

namespace mellowby::catalogdb {

bool isDatabaseState(std::uint64_t number)
{
    return number <= static_cast<std::uint64_t>(DatabaseState::Unchecked);
}

std::string_view describe(DatabaseState state)
{
    switch (state) {
    case DatabaseState::Absent:
        return "无";
    case DatabaseState::Belongs:
        return "有";
    case DatabaseState::OtherCatalog:
        return "未使用：属于另一个目录文件";
    case DatabaseState::UnknownVersion:
        return "未使用：版本未知";
    case DatabaseState::Damaged:
        return "未使用：已损坏";
    case DatabaseState::Unreadable:
        return "未使用：无法读取";
    case DatabaseState::Unchecked:
        return "未使用：目录没有名称索引";
    }
    return "未使用";
}

} // namespace mellowby::catalogdb
