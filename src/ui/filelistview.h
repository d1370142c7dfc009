#pragma once

#include <optional>

#include <QElapsedTimer>
#include <QEventLoop>

#include "search/filelist.h"
#include "search/fileopening.h"

class QTableView;

namespace mellowby::ui {

class FileListModel;
struct ProgramContext;

// What every view of a file list shares: the main window's list and the advanced find's.

// Sets view up to show model: whole rows, one selected at a time, the columns' widths, a header
// whose clicks the list's own sorting answers. A search can list millions of rows: a table view
// keeps nothing per row but its height in the hidden row header, all rows one height, and fixed
// column widths keep the view from measuring them.
void setUpFileListView(QTableView* view, FileListModel* model);

// The row selected in view, if one is: a double-click opens it wherever on the list it landed.
std::optional<std::size_t> selectedRow(const QTableView* view);

// Shows on view's header how list is sorted.
void showSortIndicator(QTableView* view, const search::SortState& sort);

// The services that open a listed file.
search::FileOpening fileOpeningOf(ProgramContext& context);

// While a long fill of model runs on the window's own thread, lets the views paint the rows that
// came: with the first batch, so the first rows are seen at once, then a few times a second.
// Input waits until the fill is done unless the caller filters it itself (a search's input gate).
class PaintWhileFilling {
public:
    enum class Input { Waits, Taken };
    explicit PaintWhileFilling(FileListModel& model, Input input = Input::Waits);
    ~PaintWhileFilling();
    PaintWhileFilling(const PaintWhileFilling&) = delete;
    PaintWhileFilling& operator=(const PaintWhileFilling&) = delete;

private:
    FileListModel& m_model;
    QEventLoop::ProcessEventsFlags m_events;
    std::optional<QElapsedTimer> m_sincePaint;
};

} // namespace mellowby::ui
