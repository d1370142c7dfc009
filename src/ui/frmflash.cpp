#include "ui/frmflash.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>

#include "app/programtitle.h"
#include "ui/applicationicon.h"
#include "ui/designedlabel.h"
#include "ui/programinfo.h"
#include "ui/runstep.h"
#include "ui/screenplacement.h"
#include "ui/twipgeometry.h"

namespace mellowby::ui {

namespace {

constexpr QSize kClientSize { twipsToPixels(4575), twipsToPixels(3015) };
const QColor kBandColour(0x1f, 0x3b, 0x63);

// The two shapes are decoration drawn on the window's surface: clicks pass through them.
QFrame* addShape(QWidget* parent, const QString& name, const QRect& designed)
{
    auto* shape = new QFrame(parent);
    shape->setObjectName(name);
    shape->setGeometry(designed);
    shape->setAttribute(Qt::WA_TransparentForMouseEvents);
    return shape;
}

} // namespace

frmFlash::frmFlash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setFixedSize(kClientSize);
    createControls();
    Form_Load();
    for (QLabel* label : findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        growToFitText(label);
    centreOnScreen(*this);
}

void frmFlash::createControls()
{
    // Created bottom to top: the shapes lie under the labels.
    QFrame* shape1 = addShape(this, QStringLiteral("Shape1"), twipsRect(0, 0, 4575, 3015));
    shape1->setFrameShape(QFrame::Box);
    shape1->setFrameShadow(QFrame::Plain);

    QFrame* shape2 = addShape(this, QStringLiteral("Shape2"), twipsRect(0, 0, 4575, 255));
    QPalette band = shape2->palette();
    band.setColor(QPalette::Window, kBandColour);
    shape2->setPalette(band);
    shape2->setAutoFillBackground(true);

    auto* picture1 = new QLabel(this);
    picture1->setObjectName(QStringLiteral("Picture1"));
    picture1->setGeometry(twipsRect(240, 480, 480, 480));
    picture1->setPixmap(applicationIcon().pixmap(QSize(32, 32)));

    QLabel* lblTitle = addDesignedLabel(this, QStringLiteral("lblTitle"),
        QStringLiteral("光盘目录 ") + QString::fromUtf8(app::kProgramTitle), twipsRect(960, 480, 3135, 255));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(14.25);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    addDesignedLabel(this, QStringLiteral("lblVersion"), QString(), twipsRect(960, 840, 3255, 255));
    addDesignedLabel(
        this, QStringLiteral("Label1"), QString::fromUtf8(kProgramDescription), twipsRect(960, 1320, 3255, 735), true);
    addDesignedLabel(this, QStringLiteral("Label2"), QStringLiteral("为光盘、硬盘和目录建立文件索引，随时查找。"),
        twipsRect(240, 2400, 4095, 255));
    addDesignedLabel(
        this, QStringLiteral("Label3"), QStringLiteral("Mellowby 项目组 出品"), twipsRect(240, 2640, 3615, 255));

    QLabel* label4 = addDesignedLabel(
        this, QStringLiteral("Label4"), QStringLiteral("欢迎使用 Mellowby"), twipsRect(100, 30, 2250, 180));
    QPalette onBand = label4->palette();
    onBand.setColor(QPalette::WindowText, Qt::white);
    label4->setPalette(onBand);
}

void frmFlash::Form_Load()
{
    findChild<QLabel*>(QStringLiteral("lblVersion"))->setText(versionLine());
}

void frmFlash::mousePressEvent(QMouseEvent* event)
{
    // Labels ignore the mouse, so their presses arrive here too; where the press landed tells them apart.
    m_pressedOnSurface = event->button() == Qt::LeftButton && isOnSurface(event->position());
    event->accept();
}

void frmFlash::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressedOnSurface && event->button() == Qt::LeftButton && isOnSurface(event->position());
    m_pressedOnSurface = false;
    event->accept();
    if (click)
        Form_Click();
}

bool frmFlash::isOnSurface(QPointF position) const
{
    const QPoint point = position.toPoint();
    // childAt passes over the shapes, which let the mouse through.
    return rect().contains(point) && childAt(point) == nullptr;
}

void frmFlash::Form_Click()
{
    runStep([this] { close(); });
}

} // namespace mellowby::ui
