#pragma once

#include <functional>

#include <QAbstractTableModel>

#include "search/filelist.h"

namespace mellowby::ui {

// The file list as the view sees it: the five columns of search::kFileColumns, one row per file,
// read straight from the FileList so that a million rows cost no copies. The list sorts itself;
// the model only passes its resets and appended batches on. The list must outlive the model.
class FileListModel final : public QAbstractTableModel, public search::FileListObserver {
    Q_OBJECT

public:
    explicit FileListModel(search::FileList& list, QObject* parent = nullptr);
    ~FileListModel() override;
    FileListModel(const FileListModel&) = delete;
    FileListModel& operator=(const FileListModel&) = delete;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void beginReset() override;
    void endReset() override;
    void beginAppend(std::size_t first, std::size_t last) override;
    void endAppend() override;

    // Called after each batch of rows has reached the view, while a long fill runs on the window's
    // own thread: it may let the view paint what came.
    void setAfterBatch(std::function<void()> afterBatch) { m_afterBatch = std::move(afterBatch); }

private:
    search::FileList& m_list;
    std::function<void()> m_afterBatch;
};

} // namespace mellowby::ui
