#include <QAbstractButton>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "support/modaldialogs.h"
#include "support/qtestmain.h"
#include "ui/busycursor.h"
#include "ui/qtmessagebox.h"

namespace mellowby::ui {

using namespace Qt::StringLiterals;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using tests::whenDialogOpens;

class TestQtMessageBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void questionBox()
    {
        QtMessageBox box;
        QString text;
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        Qt::TextFormat format = Qt::AutoText;
        whenDialogOpens([&](QWidget* dialog) {
            auto* shown = qobject_cast<QMessageBox*>(dialog);
            QVERIFY(shown);
            text = shown->text();
            title = shown->windowTitle();
            icon = shown->icon();
            buttons = shown->standardButtons();
            format = shown->textFormat();
            shown->button(QMessageBox::No)->click();
        });
        const MessageAnswer answer
            = box.show({ "删除 <b>a</b>？", "删除磁盘目录文件", MessageIcon::Question, MessageButtons::YesNo });
        QCOMPARE(answer, MessageAnswer::No);
        QCOMPARE(text, u"删除 <b>a</b>？"_s);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(title, u"删除磁盘目录文件"_s);
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
    }

    void warningOverTheBusyPointer()
    {
        QtMessageBox box;
        const BusyCursor busy;
        Qt::CursorShape shapeOverBox = Qt::WaitCursor;
        QMessageBox::StandardButtons buttons;
        whenDialogOpens([&](QWidget* dialog) {
            auto* shown = qobject_cast<QMessageBox*>(dialog);
            QVERIFY(shown);
            buttons = shown->standardButtons();
            shapeOverBox = QGuiApplication::overrideCursor()->shape();
            shown->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(
            box.show({ "出错!", "form1-cmdGetList", MessageIcon::Warning, MessageButtons::Ok }), MessageAnswer::Ok);
        QCOMPARE(buttons, QMessageBox::Ok);
        QCOMPARE(shapeOverBox, Qt::ArrowCursor);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }

    void prompt()
    {
        QtMessageBox box;
        QString label;
        whenDialogOpens([&](QWidget* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            QVERIFY(input);
            label = input->labelText();
            QCOMPARE(input->textValue(), u"光盘"_s);
            input->setTextValue(u"Photos 2004"_s);
            input->accept();
        });
        QCOMPARE(box.prompt("请输入目录名称：", "创建目录", "光盘").value_or(""), "Photos 2004");
        QCOMPARE(label, u"请输入目录名称："_s);

        whenDialogOpens([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
        QVERIFY(!box.prompt("请输入目录名称：", "创建目录", ""));
    }
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestQtMessageBox)
#include "tst_qtmessagebox.moc"
