#pragma once

#include <optional>

#include <QElapsedTimer>

#include "search/filelist.h"
#include "search/fileopening.h"

class QTreeView;

namespace mellowby::ui {

class FileListModel;
struct ProgramContext;

// What every view of a file list shares: the main window's list and the advanced find's.

// Sets view up to show model: rows without a tree's decoration, one selected at a time, the
// columns' widths, a header whose clicks the list's own sorting answers. A listing can hold a
// million rows: uniform row heights and fixed column widths keep the view from measuring them.
void setUpFileListView(QTreeView* view, FileListModel* model);

// The row selected in view, if one is: a double-click opens it wherever on the list it landed.
std::optional<std::size_t> selectedRow(const QTreeView* view);

// Shows on view's header how list is sorted.
void showSortIndicator(QTreeView* view, const search::SortState& sort);

// The services that open a listed file.
search::FileOpening fileOpeningOf(ProgramContext& context);

// While a long fill of model runs on the window's own thread, lets the views paint the rows that
// came a few times a second (taking no input until the fill is done).
class PaintWhileFilling {
public:
    explicit PaintWhileFilling(FileListModel& model);
    ~PaintWhileFilling();
    PaintWhileFilling(const PaintWhileFilling&) = delete;
    PaintWhileFilling& operator=(const PaintWhileFilling&) = delete;

private:
    FileListModel& m_model;
    QElapsedTimer m_sincePaint;
};

} // namespace mellowby::ui
