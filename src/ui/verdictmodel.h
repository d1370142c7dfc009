#pragma once

#include "verify/verdict.h"

#include <vector>

#include <QAbstractTableModel>

namespace mellowby::ui {

// The files a verification found not as their catalog has them: name, status, location and what
// differs, in the order they were found. A disc gone bad can give every file a row, so rows are
// added in batches and shown through a view.
class VerdictModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Name, Status, Location, Detail, ColumnCount };

    explicit VerdictModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void append(std::vector<verify::VerdictRow> rows);
    const verify::VerdictRow& rowAt(int row) const { return m_rows.at(static_cast<std::size_t>(row)); }

private:
    std::vector<verify::VerdictRow> m_rows;
};

} // namespace mellowby::ui
