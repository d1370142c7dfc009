#include "ui/frmquery.h"

#include <optional>
#include <utility>

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "search/advancedfind.h"
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

frmQuery::frmQuery(QueryToList toList, QWidget* parent)
    : QDialog(parent)
    , m_toList(std::move(toList))
{
    setObjectName(QStringLiteral("frmQuery"));
    setWindowTitle(QString::fromUtf8(search::kAdvancedFindTitle));
    createControls();
    resize(560, sizeHint().height());
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

    grid->addWidget(label, 0, 0);
    grid->addWidget(m_txtQuery, 0, 1);
    grid->addWidget(m_cmdQuery, 0, 2);
    grid->addWidget(m_lblFault, 1, 1, 1, 2);
    grid->addWidget(syntax, 2, 1, 1, 2);
    grid->addWidget(m_chkAllCatalogs, 3, 1, 1, 2);

    connect(m_cmdQuery, &QPushButton::clicked, this, &frmQuery::cmdQuery_Click);
}

void frmQuery::cmdQuery_Click()
{
    runStep([this] {
        const std::optional<std::string> fault
            = m_toList(m_txtQuery->text().toStdString(), m_chkAllCatalogs->isChecked());
        m_lblFault->setText(fault ? QString::fromStdString(*fault) : QString());
        m_lblFault->setVisible(fault.has_value());
        if (fault)
            m_txtQuery->setFocus();
    });
}

} // namespace mellowby::ui
