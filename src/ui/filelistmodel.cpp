#include "ui/filelistmodel.h"

namespace mellowby::ui {

FileListModel::FileListModel(search::FileList& list, QObject* parent)
    : QAbstractTableModel(parent)
    , m_list(list)
{
    m_list.setObserver(this);
}

FileListModel::~FileListModel()
{
    m_list.setObserver(nullptr);
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_list.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(search::kFileColumnCount);
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto column = static_cast<search::FileColumn>(index.column());
    return QString::fromStdString(m_list.cell(static_cast<std::size_t>(index.row()), column));
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || static_cast<std::size_t>(section) >= search::kFileColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    const std::string_view header = search::kFileColumns[static_cast<std::size_t>(section)].header;
    return QString::fromUtf8(header.data(), static_cast<qsizetype>(header.size()));
}

void FileListModel::beginReset()
{
    beginResetModel();
}

void FileListModel::endReset()
{
    endResetModel();
}

void FileListModel::beginAppend(std::size_t first, std::size_t last)
{
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(last));
}

void FileListModel::endAppend()
{
    endInsertRows();
    if (m_afterBatch)
        m_afterBatch();
}

} // namespace mellowby::ui
