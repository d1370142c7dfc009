#include "ui/frmabout.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "app/programtitle.h"
#include "platform/desktopopener.h"
#include "ui/applicationicon.h"
#include "ui/designedlabel.h"
#include "ui/programinfo.h"
#include "ui/runstep.h"
#include "ui/screenplacement.h"
#include "ui/twipgeometry.h"

namespace mellowby::ui {

namespace {

constexpr QSize kClientSize { twipsToPixels(5730), twipsToPixels(3555) };

// An etched separator: a grey line with a white one a pixel below and to the right of it.
class EtchedLine final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(0, 0, width(), 1, QColor(128, 128, 128));
        painter.fillRect(1, 1, width() - 1, 1, Qt::white);
    }
};

QPushButton* addButton(QWidget* parent, const QString& name, const QString& caption, const QRect& designed)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(designed);
    return button;
}

} // namespace

frmAbout::frmAbout(platform::IDesktopOpener& opener, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_opener(opener)
{
    setModal(true);
    setFixedSize(kClientSize);
    createControls();
    Form_Load();
    for (QLabel* label : findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        growToFitText(label);
    centreOnScreen(*this);
}

void frmAbout::createControls()
{
    QLabel* picIcon = addDesignedLabel(this, QStringLiteral("picIcon"), QString(), twipsRect(240, 240, 540, 540));
    picIcon->setAlignment(Qt::AlignCenter);
    picIcon->setPixmap(applicationIcon().pixmap(QSize(32, 32)));

    QLabel* lblTitle = addDesignedLabel(this, QStringLiteral("lblTitle"), QString(), twipsRect(1050, 240, 3885, 480));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(14.25);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    addDesignedLabel(this, QStringLiteral("lblVersion"), QString(), twipsRect(1080, 600, 3885, 225));
    addDesignedLabel(this, QStringLiteral("lblDescription"), QString(), twipsRect(1050, 1125, 3885, 1170), true);

    auto* line1 = new EtchedLine(this);
    line1->setObjectName(QStringLiteral("Line1"));
    line1->setGeometry(
        QRect(QPoint(twipsToPixels(90), twipsToPixels(2445)), QPoint(twipsToPixels(5654), twipsToPixels(2460))));

    addDesignedLabel(this, QStringLiteral("lblDisclaimer"), QString(), twipsRect(255, 2625, 3630, 825), true);

    // OK answers both Enter and Esc: Enter as the default button, Esc through QDialog's reject().
    QPushButton* cmdOK
        = addButton(this, QStringLiteral("cmdOK"), QStringLiteral("确定"), twipsRect(4125, 2625, 1500, 345));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    QPushButton* cmdSysInfo = addButton(
        this, QStringLiteral("cmdSysInfo"), QStringLiteral("项目主页(&O)"), twipsRect(4140, 3075, 1485, 345));
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    cmdOK->setFocus();
}

void frmAbout::Form_Load()
{
    const QString title = QString::fromUtf8(app::kProgramTitle);
    setWindowTitle(QStringLiteral("关于 ") + title);
    findChild<QLabel*>(QStringLiteral("lblVersion"))->setText(versionLine());
    findChild<QLabel*>(QStringLiteral("lblTitle"))->setText(title);
    findChild<QLabel*>(QStringLiteral("lblDescription"))->setText(QString::fromUtf8(kProgramDescription));
    findChild<QLabel*>(QStringLiteral("lblDisclaimer"))->setText(QStringLiteral("此文件为内部测试版本。"));
}

void frmAbout::cmdSysInfo_Click()
{
    // The browser opens on its own; if it cannot be started there is nothing useful to say, and
    // the box stays open either way.
    runStep([this] { [[maybe_unused]] const auto opened = m_opener.open(kProjectWebAddress, std::string()); });
}

} // namespace mellowby::ui
