#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include "browse/catalogtree.h"

namespace mellowby::ui {

// The catalog tree as the view sees it: one column, the node labels, a folder picture that opens
// while its node is selected. An index's internal id is its NodeId, so indexes stay valid while
// other catalogs come and go. The tree must outlive the model.
class CatalogTreeModel final : public QAbstractItemModel, public browse::CatalogTreeObserver {
    Q_OBJECT

public:
    explicit CatalogTreeModel(browse::CatalogTree& tree, QObject* parent = nullptr);
    ~CatalogTreeModel() override;
    CatalogTreeModel(const CatalogTreeModel&) = delete;
    CatalogTreeModel& operator=(const CatalogTreeModel&) = delete;

    QModelIndex indexOf(browse::NodeId node) const;
    browse::NodeId nodeAt(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void beginAddRoot(std::size_t row) override;
    void endAddRoot() override;
    void beginRemoveRoot(std::size_t row) override;
    void endRemoveRoot() override;
    void selectionChanged(browse::NodeId node) override;

Q_SIGNALS:
    // The logic selected a node (an invalid index: none); the view's selection should follow.
    void selectionRequested(const QModelIndex& index);

private:
    browse::CatalogTree& m_tree;
    QIcon m_folderIcon;
};

} // namespace mellowby::ui
