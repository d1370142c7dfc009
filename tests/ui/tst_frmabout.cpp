#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "fakes/fakedesktopopener.h"
#include "support/qtestmain.h"
#include "ui/frmabout.h"

namespace mellowby::ui {

using namespace Qt::StringLiterals;

class TestFrmAbout : public QObject {
    Q_OBJECT

private:
    static QString text(const frmAbout& about, const QString& name)
    {
        const auto* label = about.findChild<QLabel*>(name);
        return label != nullptr ? label->text() : u"<missing>"_s;
    }

    static QPushButton* button(const frmAbout& about, const QString& name)
    {
        auto* found = about.findChild<QPushButton*>(name);
        if (found == nullptr)
            qFatal("no button %s", qPrintable(name));
        return found;
    }

    // The box as the Help menu opens it: modal and active, with the keyboard focus on OK.
    static void openModal(frmAbout& about)
    {
        about.open();
        QVERIFY(QTest::qWaitForWindowActive(&about));
    }

private Q_SLOTS:
    void texts()
    {
        fakes::FakeDesktopOpener opener;
        const frmAbout about(opener);
        QCOMPARE(about.windowTitle(), u"关于 Mellowby"_s);
        QCOMPARE(text(about, u"lblTitle"_s), u"Mellowby"_s);
        QCOMPARE(text(about, u"lblVersion"_s), u"版本 1.0.2"_s);
        QCOMPARE(text(about, u"lblDescription"_s),
            u"Mellowby器，主要用于将光盘的所有文件索引，方便日后附需要时进行查找。也可用于将硬盘上的某个磁盘或某个目录下的文件进行索引，以便查找。"_s);
        QCOMPARE(text(about, u"lblDisclaimer"_s), u"此文件为内部测试版本。"_s);
        QCOMPARE(button(about, u"cmdOK"_s)->text(), u"确定"_s);
        QVERIFY(button(about, u"cmdSysInfo"_s)->text().contains(u"(&O)"_s));
        QCOMPARE(about.findChild<QLabel*>(u"picIcon"_s)->pixmap().size(), QSize(32, 32));
    }

    void fixedModalAndCentred()
    {
        fakes::FakeDesktopOpener opener;
        QWidget owner;
        const frmAbout about(opener, &owner);
        QVERIFY(about.isModal());
        QCOMPARE(about.minimumSize(), QSize(382, 237));
        QCOMPARE(about.maximumSize(), QSize(382, 237));
        QVERIFY(!about.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!about.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(about.geometry().center(), about.screen()->availableGeometry().center());
        QCOMPARE(button(about, u"cmdOK"_s)->geometry(), QRect(275, 175, 100, 23));
        QCOMPARE(button(about, u"cmdSysInfo"_s)->geometry(), QRect(276, 205, 99, 23));
    }

    void enterAndEscapeClose()
    {
        fakes::FakeDesktopOpener opener;
        for (const Qt::Key key : { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape }) {
            frmAbout about(opener);
            openModal(about);
            QTest::keyClick(&about, key);
            QVERIFY2(!about.isVisible(), qPrintable(QString::number(key, 16)));
        }
        QVERIFY(opener.opened.empty());
    }

    void projectButtonOpensTheAddressAndStays()
    {
        fakes::FakeDesktopOpener opener;
        frmAbout about(opener);
        openModal(about);
        QTest::mouseClick(button(about, u"cmdSysInfo"_s), Qt::LeftButton);
        // Its access key as well; a browser that cannot be started changes nothing.
        opener.failure = platform::Error { 0, "无法启动 xdg-open" };
        QTest::keyClick(&about, Qt::Key_O, Qt::AltModifier);

        const fakes::FakeDesktopOpener::Opened expected { "https://mellowby.example.org/", "" };
        // A button pressed by its access key shows itself pressed for a moment before it acts.
        QTRY_COMPARE(opener.opened.size(), std::size_t { 2 });
        QVERIFY(opener.opened[0] == expected);
        QVERIFY(opener.opened[1] == expected);
        QVERIFY(about.isVisible());

        QTest::mouseClick(button(about, u"cmdOK"_s), Qt::LeftButton);
        QVERIFY(!about.isVisible());
    }
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestFrmAbout)
#include "tst_frmabout.moc"
