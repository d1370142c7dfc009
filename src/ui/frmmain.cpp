#include "ui/frmmain.h"

#include <optional>
#include <utility>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTreeView>

#include "app/programtitle.h"
#include "app/showmsg.h"
#include "platform/linux/linuxfilereading.h"
#include "search/advancedfind.h"
#include "search/catalogcommands.h"
#include "search/filelisting.h"
#include "search/fileopening.h"
#include "search/filesearch.h"
#include "search/queryparser.h"
#include "ui/arrangecontrols.h"
#include "ui/busycursor.h"
#include "ui/catalogtreemodel.h"
#include "ui/filelistmodel.h"
#include "ui/filelistview.h"
#include "ui/frmabout.h"
#include "ui/frmaddnew.h"
#include "ui/frmquery.h"
#include "ui/frmverify.h"
#include "ui/helptopic.h"
#include "ui/programcontext.h"
#include "ui/runstep.h"
#include "ui/searchinputgate.h"

namespace mellowby::ui {

namespace {

QAction* addMenuItem(QMenu* menu, const QString& caption, const QString& name)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

ControlRect rectOf(const QWidget* widget)
{
    const QRect rect = widget->geometry();
    return { rect.x(), rect.y(), rect.width(), rect.height() };
}

void place(QWidget* widget, const ControlRect& rect)
{
    widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
}

template <typename Widget> Widget* addControl(Widget* widget, const QString& name, const ControlRect& rect)
{
    widget->setObjectName(name);
    place(widget, rect);
    return widget;
}

} // namespace

frmMain::frmMain(ProgramContext& context, QWidget* splash, QWidget* parent)
    : QMainWindow(parent)
    , m_context(context)
    , m_store(context.folder.dataDir(), context.fileSystem)
    , m_indexes(m_store, names::userCacheFolder())
    , m_browser(m_indexes, context.box)
    , m_treeModel(std::make_unique<CatalogTreeModel>(m_browser.tree()))
    , m_listModel(std::make_unique<FileListModel>(m_list))
{
    setWindowTitle(QString::fromUtf8(app::kProgramTitle));
    createMenus();
    createControls();
    resizeToClientArea(kDesignClientWidth, kDesignClientHeight);
    Form_Load(splash);
}

frmMain::~frmMain()
{
    // The views go first, while their models and what those show still exist.
    delete takeCentralWidget();
}

void frmMain::createMenus()
{
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    QAction* mnuFileClose = addMenuItem(mnuFile, QStringLiteral("关闭(&X)"), QStringLiteral("mnuFileClose"));
    connect(mnuFileClose, &QAction::triggered, this, [this] { runStep([this] { close(); }); });

    QMenu* mnuEdit = menuBar()->addMenu(QStringLiteral("编辑(&E)"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    QAction* mnuEditCreat = addMenuItem(mnuEdit, QStringLiteral("创建目录(&C)"), QStringLiteral("mnuEditCreat"));
    connect(mnuEditCreat, &QAction::triggered, this, &frmMain::mnuEditCreat_Click);
    QAction* mnuEditDele = addMenuItem(mnuEdit, QStringLiteral("删除目录(&D)"), QStringLiteral("mnuEditDele"));
    connect(mnuEditDele, &QAction::triggered, this, &frmMain::mnuEditDele_Click);
    mnuEdit->addSeparator()->setObjectName(QStringLiteral("mnuEditSpc1"));
    QAction* mnuEditFind = addMenuItem(mnuEdit, QStringLiteral("查找文件(&F)"), QStringLiteral("mnuEditFind"));
    connect(mnuEditFind, &QAction::triggered, this, &frmMain::mnuEditFind_Click);

    QMenu* mnuTools = menuBar()->addMenu(QStringLiteral("工具(&T)"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    QAction* mnuToolsQuery = addMenuItem(mnuTools, QStringLiteral("高级查找(&A)…"), QStringLiteral("mnuToolsQuery"));
    connect(mnuToolsQuery, &QAction::triggered, this, &frmMain::mnuToolsQuery_Click);
    QAction* mnuToolsVerify = addMenuItem(mnuTools, QStringLiteral("校验光盘(&V)…"), QStringLiteral("mnuToolsVerify"));
    connect(mnuToolsVerify, &QAction::triggered, this, &frmMain::mnuToolsVerify_Click);

    QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    QAction* mnuHelpTopic = addMenuItem(mnuHelp, QStringLiteral("主题(&T)"), QStringLiteral("mnuHelpTopic"));
    connect(mnuHelpTopic, &QAction::triggered, this, [this] {
        runStep(
            [this] { mnuHelpTopic_Click(m_context.folder, m_context.fileSystem, m_context.box, m_context.opener); });
    });
    QAction* mnuHelpAbout = addMenuItem(mnuHelp, QStringLiteral("关于(&A)"), QStringLiteral("mnuHelpAbout"));
    connect(mnuHelpAbout, &QAction::triggered, this, [this] {
        runStep([this] {
            frmAbout about(m_context.opener, this);
            about.exec();
        });
    });
}

void frmMain::createControls()
{
    // The controls keep the pixel places the window was designed with; ArrangeControls moves
    // them as the window's size changes, so no layout manager is involved.
    auto* client = new QWidget(this);
    setCentralWidget(client);

    m_frameFind = addControl(
        new QGroupBox(QStringLiteral("文件查找"), client), QStringLiteral("frameFind"), kDesignControls.frameFind);
    addControl(new QLabel(QStringLiteral("查找内容："), m_frameFind), QStringLiteral("Label1"), { 8, 24, 60, 12 });
    m_txtFind = addControl(new QLineEdit(m_frameFind), QStringLiteral("txtFind"), { 72, 20, 121, 20 });
    addControl(new QLabel(QStringLiteral("文件名称部分内容，包括扩展名"), m_frameFind), QStringLiteral("Label2"),
        { 16, 56, 168, 12 });
    m_chkIfFindAllXml = addControl(new QCheckBox(QStringLiteral("查找所有打开文件"), m_frameFind),
        QStringLiteral("chkIfFindAllXml"), { 8, 72, 177, 17 });
    m_cmdFind = addControl(
        new QPushButton(QStringLiteral("查找(&F)"), m_frameFind), QStringLiteral("cmdFind"), { 104, 96, 81, 25 });
    m_frameFind->hide();
    connect(m_cmdFind, &QPushButton::clicked, this, &frmMain::cmdFind_Click);

    m_treeDisk = addControl(new QTreeView(client), QStringLiteral("treeDisk"), kDesignControls.treeDisk);
    m_treeDisk->setHeaderHidden(true);
    m_treeDisk->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_treeDisk->setSelectionMode(QAbstractItemView::SingleSelection);
    m_treeDisk->setModel(m_treeModel.get());
    // Every click on the tree counts, also on blank space and on an expand arrow, where the view
    // reports none: the release on its viewport is the click.
    m_treeViewport = m_treeDisk->viewport();
    m_treeViewport->installEventFilter(this);
    connect(m_treeDisk->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &frmMain::treeDisk_SelectionChanged);
    connect(m_treeModel.get(), &CatalogTreeModel::selectionRequested, this, &frmMain::followLogicSelection);

    m_listVDir = addControl(new QTableView(client), QStringLiteral("listVDir"), kDesignControls.listVDir);
    setUpFileListView(m_listVDir, m_listModel.get());
    connect(m_listVDir->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmMain::listVDir_ColumnClick);
    connect(m_listVDir, &QTableView::doubleClicked, this, &frmMain::listVDir_DblClick);

    client->installEventFilter(this);
}

void frmMain::resizeToClientArea(int width, int height)
{
    const int menuHeight = menuBar()->isNativeMenuBar() ? 0 : menuBar()->sizeHint().height();
    resize(width, height + menuHeight);
}

void frmMain::Form_Load(const QPointer<QWidget>& splash)
{
    // The catalog collection starts empty with m_browser.
    runStep([this] { SetListColumns(); });
    // The splash, already on screen, gets painted before the catalogs load.
    runStep([] { QCoreApplication::processEvents(); });
    runStep([this] {
        if (m_browser.getAllXmlToTree())
            search::FreshRightList(m_browser, m_list);
    });
    m_findPanelShown = false;
    // The user may have clicked the splash away while the catalogs loaded.
    runStep([splash] {
        if (splash)
            splash->close();
    });
}

void frmMain::SetListColumns()
{
    for (std::size_t column = 0; column < search::kFileColumnCount; ++column)
        m_listVDir->setColumnWidth(static_cast<int>(column), search::kFileColumns[column].width);
}

void frmMain::ArrangeControls()
{
    if (isMinimized())
        return;
    const QWidget* client = centralWidget();
    const MainControls next = arrangeControls(client->width(), client->height(), m_findPanelShown,
        { rectOf(m_frameFind), rectOf(m_treeDisk), rectOf(m_listVDir) });
    place(m_frameFind, next.frameFind);
    place(m_treeDisk, next.treeDisk);
    place(m_listVDir, next.listVDir);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        runStep([this] { ArrangeControls(); });
    if (watched == m_treeViewport && m_treeViewport != nullptr) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // A double click is a click and then a double click, as on the platform: the release
            // that ends it is no second click.
            if (event->type() == QEvent::MouseButtonDblClick)
                m_releaseEndsDoubleClick = true;
            // The platform's tree keeps its selection when blank space is clicked; Qt's view would
            // clear it, so it never sees that press.
            if (!m_treeDisk->indexAt(static_cast<const QMouseEvent*>(event)->position().toPoint()).isValid())
                return true;
            break;
        case QEvent::MouseButtonRelease:
            if (!std::exchange(m_releaseEndsDoubleClick, false)
                && static_cast<const QMouseEvent*>(event)->button() == Qt::LeftButton)
                treeDisk_Click();
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::changeEvent(QEvent* event)
{
    // Restoring a minimised window need not change its size, so no resize would lay it out.
    if (event->type() == QEvent::WindowStateChange)
        runStep([this] { ArrangeControls(); });
    QMainWindow::changeEvent(event);
}

void frmMain::treeDisk_Click()
{
    // The press has selected the node, if it was on one; whatever it was on, the selected node is
    // listed again, so a click after a search brings its files back.
    runStep([this] { search::FreshRightList(m_browser, m_list); });
}

void frmMain::treeDisk_SelectionChanged()
{
    // The logic reads the selected node (the list, the delete command), so it always knows the
    // one the user sees selected, also after moving there with the keys.
    runStep([this] {
        const QModelIndexList selected = m_treeDisk->selectionModel()->selectedIndexes();
        m_browser.tree().setSelectionFromView(
            selected.isEmpty() ? browse::kNoNode : m_treeModel->nodeAt(selected.first()));
    });
}

void frmMain::followLogicSelection(const QModelIndex& index)
{
    runStep([this, &index] {
        QItemSelectionModel* selection = m_treeDisk->selectionModel();
        if (index.isValid())
            selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        else
            selection->clear();
    });
}

void frmMain::listVDir_ColumnClick(int section)
{
    // Pending paints run first (the pressed header); the user's input waits for the sort.
    runStep([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    const BusyCursor busy;
    runStep([this, section] { m_list.columnClick(static_cast<std::size_t>(section) + 1); });
    runStep([this] { showSortIndicator(m_listVDir, m_list.sortState()); });
}

void frmMain::mnuEditFind_Click()
{
    runStep([this] {
        if (m_frameFind->isHidden()) {
            m_frameFind->show();
            m_findPanelShown = true;
            m_chkIfFindAllXml->setChecked(true);
        } else {
            m_frameFind->hide();
            m_findPanelShown = false;
        }
    });
    runStep([this] { ArrangeControls(); });
}

void frmMain::cmdFind_Click()
{
    // The text is read when the search starts: a click while another runs finds what the line
    // holds once that one has stopped.
    fillList([this] {
        search::cmdFind_Click(m_indexes, m_context.box, m_list, m_txtFind->text().toStdString(),
            search::SearchScope::of(m_browser, m_chkIfFindAllXml->checkState() != Qt::Unchecked));
    });
}

std::optional<std::string> frmMain::queryToList(const std::string& query, bool allCatalogs)
{
    // A query that cannot be read is said in the dialog, and the rows listed stay.
    auto parsed = search::parseQuery(query);
    if (!parsed)
        return parsed.error().message();
    fillList([this, parsed = std::move(*parsed), allCatalogs] {
        search::cmdQuery_Click(
            m_indexes, m_context.box, m_list, parsed, search::SearchScope::of(m_browser, allCatalogs));
    });
    return std::nullopt;
}

void frmMain::fillList(std::function<void()> fill)
{
    m_nextFill = std::move(fill);
    // Asked for while a fill runs below this call: that one stops at its next row, and this one
    // follows it.
    if (m_searching) {
        m_list.requestStop();
        return;
    }
    runStep([this] {
        m_searching = true;
        const auto ended = qScopeGuard([this] {
            m_searching = false;
            m_nextFill = {};
        });
        const BusyCursor busy;
        const SearchInputGate gate({ this, m_listVDir, m_txtFind, m_cmdFind }, [this] { m_list.requestStop(); });
        // The rows show as they come; the gate lets through only what a search may take meanwhile.
        while (m_nextFill && !m_closeAfterSearch) {
            const std::function<void()> next = std::exchange(m_nextFill, {});
            const PaintWhileFilling painting(*m_listModel, PaintWhileFilling::Input::Taken);
            next();
        }
    });
    if (std::exchange(m_closeAfterSearch, false))
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // The search runs below this call on the same stack: it stops first, and the window closes
    // when it has.
    if (m_searching) {
        m_closeAfterSearch = true;
        m_list.requestStop();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void frmMain::mnuToolsQuery_Click()
{
    // One advanced find for the window, kept with its query between openings.
    runStep([this] {
        if (m_query == nullptr)
            m_query
                = new frmQuery([this](const std::string& query, bool all) { return queryToList(query, all); }, this);
        m_query->show();
        m_query->raise();
        m_query->activateWindow();
    });
}

void frmMain::mnuToolsVerify_Click()
{
    // The disc of the current catalog, read against the catalog while the dialog waits for it;
    // modal, so that the catalog is neither scanned again nor deleted meanwhile.
    runStep([this] {
        const std::string& catalogName = m_browser.currentCatalogName();
        if (catalogName.empty()) {
            app::ShowMsg(m_context.box, "请先选中要校验的目录！", 0, "", "校验光盘");
            return;
        }
        platform::LinuxFileReading reading;
        const verify::VerifyServices services { m_browser.store(), m_context.lister, reading, m_context.volumes };
        frmVerify dialog(services, catalogName, m_context.box, m_context.opener, this);
        dialog.exec();
    });
}

void frmMain::mnuEditCreat_Click()
{
    // The dialog adds each catalog it writes to the tree itself.
    runStep([this] {
        frmAddNew dialog(m_context, m_browser, this);
        dialog.exec();
    });
}

void frmMain::mnuEditDele_Click()
{
    runStep([this] { search::mnuEditDele_Click(m_browser, m_list); });
}

void frmMain::listVDir_DblClick()
{
    // The selected row is opened, wherever on the list the double-click landed.
    runStep([this] {
        search::FileOpening services = fileOpeningOf(m_context);
        search::listVDir_DblClick(m_browser, m_list, selectedRow(m_listVDir), services);
    });
}

} // namespace mellowby::ui
