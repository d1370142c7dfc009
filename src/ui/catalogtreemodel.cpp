#include "ui/catalogtreemodel.h"

#include <QApplication>
#include <QStyle>

namespace mellowby::ui {

namespace {

// The closed folder normally, the open one on the selected node: views paint a selected
// item's icon in QIcon::Selected mode.
QIcon folderIcon()
{
    const QStyle* style = QApplication::style();
    const int size = style->pixelMetric(QStyle::PM_SmallIconSize);
    QIcon icon;
    icon.addPixmap(style->standardIcon(QStyle::SP_DirClosedIcon).pixmap(size), QIcon::Normal);
    icon.addPixmap(style->standardIcon(QStyle::SP_DirOpenIcon).pixmap(size), QIcon::Selected);
    return icon;
}

} // namespace

CatalogTreeModel::CatalogTreeModel(browse::CatalogTree& tree, QObject* parent)
    : QAbstractItemModel(parent)
    , m_tree(tree)
    , m_folderIcon(folderIcon())
{
    m_tree.setObserver(this);
}

CatalogTreeModel::~CatalogTreeModel()
{
    m_tree.setObserver(nullptr);
}

QModelIndex CatalogTreeModel::indexOf(browse::NodeId node) const
{
    if (!m_tree.contains(node))
        return {};
    return createIndex(static_cast<int>(m_tree.row(node)), 0, static_cast<quintptr>(node));
}

browse::NodeId CatalogTreeModel::nodeAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return browse::kNoNode;
    return static_cast<browse::NodeId>(index.internalId());
}

QModelIndex CatalogTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    const auto& siblings = parent.isValid() ? m_tree.children(nodeAt(parent)) : m_tree.roots();
    return createIndex(row, column, static_cast<quintptr>(siblings[static_cast<std::size_t>(row)]));
}

QModelIndex CatalogTreeModel::parent(const QModelIndex& child) const
{
    const browse::NodeId node = nodeAt(child);
    if (node == browse::kNoNode)
        return {};
    return indexOf(m_tree.parent(node));
}

int CatalogTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const auto& children = parent.isValid() ? m_tree.children(nodeAt(parent)) : m_tree.roots();
    return static_cast<int>(children.size());
}

int CatalogTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant CatalogTreeModel::data(const QModelIndex& index, int role) const
{
    const browse::NodeId node = nodeAt(index);
    if (node == browse::kNoNode || !m_tree.contains(node))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(m_tree.label(node));
    case Qt::DecorationRole:
        return m_folderIcon;
    default:
        return {};
    }
}

void CatalogTreeModel::beginAddRoot(std::size_t row)
{
    const int position = static_cast<int>(row);
    beginInsertRows({}, position, position);
}

void CatalogTreeModel::endAddRoot()
{
    endInsertRows();
}

void CatalogTreeModel::beginRemoveRoot(std::size_t row)
{
    const int position = static_cast<int>(row);
    beginRemoveRows({}, position, position);
}

void CatalogTreeModel::endRemoveRoot()
{
    endRemoveRows();
}

void CatalogTreeModel::selectionChanged(browse::NodeId node)
{
    Q_EMIT selectionRequested(indexOf(node));
}

} // namespace mellowby::ui
