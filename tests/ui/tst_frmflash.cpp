#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include "support/qtestmain.h"
#include "ui/frmflash.h"

namespace mellowby::ui {

using namespace Qt::StringLiterals;

class TestFrmFlash : public QObject {
    Q_OBJECT

private:
    static QLabel* label(const frmFlash& flash, const QString& name)
    {
        auto* found = flash.findChild<QLabel*>(name);
        if (found == nullptr)
            qFatal("no label %s", qPrintable(name));
        return found;
    }

private Q_SLOTS:
    void texts()
    {
        const frmFlash flash;
        QCOMPARE(label(flash, u"lblVersion"_s)->text(), u"版本 1.0.2"_s);
        QCOMPARE(label(flash, u"Label1"_s)->text(),
            u"Mellowby器，主要用于将光盘的所有文件索引，方便日后附需要时进行查找。也可用于将硬盘上的某个磁盘或某个目录下的文件进行索引，以便查找。"_s);
        QVERIFY(label(flash, u"Label1"_s)->wordWrap());

        const QLabel* title = label(flash, u"lblTitle"_s);
        QVERIFY(title->text().endsWith(u" Mellowby"_s));
        QVERIFY(title->font().bold());
        QCOMPARE(title->font().pointSizeF(), 14.25);

        for (const auto* name : { "Label2", "Label3", "Label4" })
            QVERIFY(!label(flash, QString::fromLatin1(name))->text().isEmpty());
        QCOMPARE(label(flash, u"Label4"_s)->palette().color(QPalette::WindowText), QColor(Qt::white));
    }

    void borderlessCentredAndOnTop()
    {
        const frmFlash flash;
        QCOMPARE(flash.windowType(), Qt::SplashScreen);
        QVERIFY(flash.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(flash.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(flash.size(), QSize(305, 201));
        QCOMPARE(flash.geometry().center(), flash.screen()->availableGeometry().center());

        // The designed places, at 15 twips to the pixel.
        const auto* picture = label(flash, u"Picture1"_s);
        QCOMPARE(picture->geometry(), QRect(16, 32, 32, 32));
        QCOMPARE(picture->pixmap().size(), QSize(32, 32));
        QCOMPARE(label(flash, u"Label1"_s)->pos(), QPoint(64, 88));
        QCOMPARE(label(flash, u"Label4"_s)->pos(), QPoint(7, 2));
        QCOMPARE(flash.findChild<QFrame*>(u"Shape1"_s)->geometry(), QRect(0, 0, 305, 201));
        QCOMPARE(flash.findChild<QFrame*>(u"Shape2"_s)->geometry(), QRect(0, 0, 305, 17));
        // Grown labels must not run into the next line of text.
        QVERIFY(label(flash, u"Label1"_s)->geometry().bottom() < label(flash, u"Label2"_s)->y());
        QVERIFY(label(flash, u"lblTitle"_s)->geometry().bottom() < label(flash, u"lblVersion"_s)->y());
    }

    void clickOnTheSurfaceCloses()
    {
        frmFlash flash;
        flash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flash));

        // Labels and the picture are not the surface.
        QTest::mouseClick(label(flash, u"lblTitle"_s), Qt::LeftButton);
        QTest::mouseClick(label(flash, u"Picture1"_s), Qt::LeftButton);
        QTest::mouseClick(label(flash, u"Label4"_s), Qt::LeftButton);
        QVERIFY(flash.isVisible());
        // A press on a label that is released on the surface is no click on the surface.
        QTest::mousePress(label(flash, u"Label2"_s), Qt::LeftButton);
        QTest::mouseRelease(&flash, Qt::LeftButton, {}, QPoint(300, 195));
        QVERIFY(flash.isVisible());

        // The top band and the frame are decoration on the surface.
        QTest::mouseClick(&flash, Qt::LeftButton, {}, QPoint(290, 8));
        QVERIFY(!flash.isVisible());

        // The main window closes it at the end of its loading, whether or not it was clicked away.
        QVERIFY(flash.close());
        QVERIFY(!flash.isVisible());
    }

    void clickInTheLowerCornerCloses()
    {
        frmFlash flash;
        flash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flash));
        QTest::mouseClick(&flash, Qt::LeftButton, {}, QPoint(300, 195));
        QVERIFY(!flash.isVisible());
    }
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestFrmFlash)
#include "tst_frmflash.moc"
