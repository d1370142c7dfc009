#include "archive/archivetexts.h"

namespace mellowby::archive {

std::string_view statusText(ArchiveStatus status)
{
    switch (status) {
    case ArchiveStatus::Intact:
        return "完好";
    case ArchiveStatus::Encrypted:
    case ArchiveStatus::NamesUnreadable:
        return "已加密";
    case ArchiveStatus::Damaged:
        return "已损坏";
    case ArchiveStatus::OverLimit:
        return "超出限制";
    }
    return "已损坏";
}

} // namespace mellowby::archive
