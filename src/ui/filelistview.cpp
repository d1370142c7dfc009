#include "ui/filelistview.h"

#include <chrono>

#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include "ui/filelistmodel.h"
#include "ui/programcontext.h"

namespace mellowby::ui {

namespace {

// How often a long fill of the list lets the window paint.
constexpr std::chrono::milliseconds kPaintInterval { 50 };

} // namespace

void setUpFileListView(QTableView* view, FileListModel* model)
{
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    QHeaderView* rows = view->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->setModel(model);
    // The list sorts its own rows; the view only passes the clicks on. (Switching the view's
    // sorting off also makes the header unclickable, so it comes first.)
    view->setSortingEnabled(false);
    QHeaderView* header = view->horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (std::size_t column = 0; column < search::kFileColumnCount; ++column)
        view->setColumnWidth(static_cast<int>(column), search::kFileColumns[column].width);
}

std::optional<std::size_t> selectedRow(const QTableView* view)
{
    const QModelIndex current = view->selectionModel()->currentIndex();
    if (current.isValid() && view->selectionModel()->isRowSelected(current.row(), current.parent()))
        return static_cast<std::size_t>(current.row());
    return std::nullopt;
}

void showSortIndicator(QTableView* view, const search::SortState& sort)
{
    QHeaderView* header = view->horizontalHeader();
    header->setSortIndicatorShown(sort.sorted);
    header->setSortIndicator(static_cast<int>(sort.key),
        sort.order == search::SortOrder::Ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

search::FileOpening fileOpeningOf(ProgramContext& context)
{
    return { context.drives, context.drivesProbe, context.volumes, context.fileSystem, context.opener,
        context.folder.path() };
}

PaintWhileFilling::PaintWhileFilling(FileListModel& model, Input input)
    : m_model(model)
    , m_events(input == Input::Taken ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents)
{
    m_model.setAfterBatch([this] {
        if (!m_sincePaint || m_sincePaint->elapsed() >= kPaintInterval.count()) {
            QCoreApplication::processEvents(m_events);
            m_sincePaint.emplace();
            m_sincePaint->start();
        }
    });
}

PaintWhileFilling::~PaintWhileFilling()
{
    m_model.setAfterBatch({});
}

} // namespace mellowby::ui
