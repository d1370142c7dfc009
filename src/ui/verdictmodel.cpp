#include "ui/verdictmodel.h"

#include <iterator>

namespace mellowby::ui {

VerdictModel::VerdictModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

int VerdictModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int VerdictModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant VerdictModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const verify::VerdictRow& row = rowAt(index.row());
    switch (index.column()) {
    case Name:
        return QString::fromStdString(row.name);
    case Status: {
        const std::string_view text = verify::verdictText(row.verdict);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    case Location:
        return QString::fromStdString(row.location);
    case Detail:
        return QString::fromStdString(row.detail);
    default:
        return {};
    }
}

QVariant VerdictModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name:
        return QStringLiteral("文件名");
    case Status:
        return QStringLiteral("状态");
    case Location:
        return QStringLiteral("所在位置");
    case Detail:
        return QStringLiteral("说明");
    default:
        return {};
    }
}

void VerdictModel::append(std::vector<verify::VerdictRow> rows)
{
    if (rows.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

} // namespace mellowby::ui
