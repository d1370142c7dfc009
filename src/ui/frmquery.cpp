#include "ui/frmquery.h"

#include <optional>

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "browse/catalogbrowser.h"
#include "search/advancedfind.h"
#include "search/filesearch.h"
#include "ui/busycursor.h"
#include "ui/filelistmodel.h"
#include "ui/filelistview.h"
#include "ui/programcontext.h"
#include "ui/runstep.h"

namespace mellowby::ui {

namespace {

// What the query line takes, in a few lines under it.
const char* const kSyntax = "文件名中的各个词都须出现；\"带引号的词组\"作为整体；| 或 OR 表示“或”，! 或 NOT "
                            "表示“非”，可用括号分组。\n"
                            "ext:jpg;png　size:>700mb、size:1mb..4gb、size:empty　dm:2004、dm:2004-03-15、"
                            "dm:2003..2005、dm:>=2020-01-01\n"
                            "path:位置的一部分　regex:正则表达式　case:区分大小写　in:目录名（可含 * 和 ?）　"
                            "folder:查找文件夹";

} // namespace

frmQuery::frmQuery(
    ProgramContext& context, browse::CatalogBrowser& browser, const names::NamesIndexCache& indexes, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_browser(browser)
    , m_indexes(indexes)
    , m_model(std::make_unique<FileListModel>(m_list))
{
    setObjectName(QStringLiteral("frmQuery"));
    setWindowTitle(QString::fromUtf8(search::kAdvancedFindTitle));
    createControls();
    resize(720, 480);
}

frmQuery::~frmQuery()
{
    // The view goes first, while its model and the rows still exist.
    delete m_listQuery;
}

void frmQuery::createControls()
{
    auto* grid = new QGridLayout(this);
    auto* label = new QLabel(QStringLiteral("查询(&Q)："), this);
    m_txtQuery = new QLineEdit(this);
    m_txtQuery->setObjectName(QStringLiteral("txtQuery"));
    label->setBuddy(m_txtQuery);
    m_cmdQuery = new QPushButton(QStringLiteral("查找(&F)"), this);
    m_cmdQuery->setObjectName(QStringLiteral("cmdQuery"));
    // Enter in the query line finds, as a search line does.
    m_cmdQuery->setDefault(true);
    m_lblFault = new QLabel(this);
    m_lblFault->setObjectName(QStringLiteral("lblFault"));
    m_lblFault->setStyleSheet(QStringLiteral("color: #c00000"));
    m_lblFault->hide();
    auto* syntax = new QLabel(QString::fromUtf8(kSyntax), this);
    syntax->setObjectName(QStringLiteral("lblSyntax"));
    syntax->setWordWrap(true);
    m_chkAllCatalogs = new QCheckBox(QStringLiteral("查找所有打开文件"), this);
    m_chkAllCatalogs->setObjectName(QStringLiteral("chkAllCatalogs"));
    m_chkAllCatalogs->setChecked(true);

    m_listQuery = new QTableView(this);
    m_listQuery->setObjectName(QStringLiteral("listQuery"));
    setUpFileListView(m_listQuery, m_model.get());

    grid->addWidget(label, 0, 0);
    grid->addWidget(m_txtQuery, 0, 1);
    grid->addWidget(m_cmdQuery, 0, 2);
    grid->addWidget(m_lblFault, 1, 1, 1, 2);
    grid->addWidget(syntax, 2, 1, 1, 2);
    grid->addWidget(m_chkAllCatalogs, 3, 1, 1, 2);
    grid->addWidget(m_listQuery, 4, 0, 1, 3);
    grid->setRowStretch(4, 1);

    connect(m_cmdQuery, &QPushButton::clicked, this, &frmQuery::cmdQuery_Click);
    connect(m_listQuery->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmQuery::listQuery_ColumnClick);
    connect(m_listQuery, &QTableView::doubleClicked, this, &frmQuery::listQuery_DblClick);
}

void frmQuery::cmdQuery_Click()
{
    runStep([this] {
        const BusyCursor busy;
        const PaintWhileFilling painting(*m_model);
        const std::optional<std::string> fault = search::cmdQuery_Click(m_indexes, m_context.box, m_list,
            m_txtQuery->text().toStdString(), search::SearchScope::of(m_browser, m_chkAllCatalogs->isChecked()));
        m_lblFault->setText(fault ? QString::fromStdString(*fault) : QString());
        m_lblFault->setVisible(fault.has_value());
        if (fault)
            m_txtQuery->setFocus();
    });
}

void frmQuery::listQuery_ColumnClick(int section)
{
    const BusyCursor busy;
    runStep([this, section] { m_list.columnClick(static_cast<std::size_t>(section) + 1); });
    runStep([this] { showSortIndicator(m_listQuery, m_list.sortState()); });
}

void frmQuery::listQuery_DblClick()
{
    runStep([this] {
        search::FileOpening services = fileOpeningOf(m_context);
        search::listVDir_DblClick(m_browser, m_list, selectedRow(m_listQuery), services);
    });
}

} // namespace mellowby::ui
