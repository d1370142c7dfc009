#include "ui/filelistview.h"

#include <chrono>

#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeView>

#include "ui/filelistmodel.h"
#include "ui/programcontext.h"

namespace mellowby::ui {

namespace {

// How often a long fill of the list lets the window paint.
constexpr std::chrono::milliseconds kPaintInterval { 50 };

} // namespace

void setUpFileListView(QTreeView* view, FileListModel* model)
{
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setModel(model);
    // The list sorts its own rows; the view only passes the clicks on. (Switching the view's
    // sorting off also makes the header unclickable, so it comes first.)
    view->setSortingEnabled(false);
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (std::size_t column = 0; column < search::kFileColumnCount; ++column)
        view->setColumnWidth(static_cast<int>(column), search::kFileColumns[column].width);
}

std::optional<std::size_t> selectedRow(const QTreeView* view)
{
    const QModelIndex current = view->selectionModel()->currentIndex();
    if (current.isValid() && view->selectionModel()->isRowSelected(current.row(), current.parent()))
        return static_cast<std::size_t>(current.row());
    return std::nullopt;
}

void showSortIndicator(QTreeView* view, const search::SortState& sort)
{
    QHeaderView* header = view->header();
    header->setSortIndicatorShown(sort.sorted);
    header->setSortIndicator(static_cast<int>(sort.key),
        sort.order == search::SortOrder::Ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

search::FileOpening fileOpeningOf(ProgramContext& context)
{
    return { context.drives, context.drivesProbe, context.volumes, context.fileSystem, context.opener,
        context.folder.path() };
}

PaintWhileFilling::PaintWhileFilling(FileListModel& model)
    : m_model(model)
{
    m_sincePaint.start();
    m_model.setAfterBatch([this] {
        if (m_sincePaint.elapsed() >= kPaintInterval.count()) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            m_sincePaint.restart();
        }
    });
}

PaintWhileFilling::~PaintWhileFilling()
{
    m_model.setAfterBatch({});
}

} // namespace mellowby::ui
