#include "addnewdialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>

#include "fakes/scriptedfolderpicker.h"
#include "support/modaldialogs.h"
#include "support/qtestmain.h"
#include "ui/selfolder.h"

namespace mellowby::ui {

using platform::DriveKind;
using platform::MessageRequest;
using tests::whenDialogOpens;

// The generation dialog as it opens, its folder pickers, and the filter settings it shows and saves.
class TestFrmAddNew : public QObject, private AddNewDialogTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useOwnConfigHome(); }
    void init() { makeTree(); }
    void cleanup() { closeDialog(); }

    void theFolderPickersAnswer()
    {
        fakes::ScriptedFolderPicker picker;
        QWidget owner;
        const auto pick = [&](const QString& answer) {
            picker.answer = answer;
            return getSelFolder(picker, &owner, u"请选择一个目录"_s);
        };
        QCOMPARE(pick(u"/"_s), u"/"_s);
        QCOMPARE(pick(u"//"_s), u"/"_s);
        QCOMPARE(pick(u"/media/u/Disc (2004)/"_s), u"/media/u/Disc (2004)"_s);
        QCOMPARE(pick(u"/home/u"_s), u"/home/u"_s);
        QCOMPARE(pick(QString()), QString());
        QCOMPARE(picker.owners.back(), &owner);
        QCOMPARE(picker.titles.back(), u"请选择一个目录"_s);
    }

    void theDesktopFolderDialogPicksAFolderOrAnImageFile()
    {
        tests::TemporaryFolder folder;
        tests::writeFile(folder / "disc.iso", "image");
        const QString image = QString::fromStdString(folder / "disc.iso");
        QWidget owner;
        QtFolderPicker picker;
        enum class Choice { Cancel, Folder, Image };
        for (const Choice choice : { Choice::Cancel, Choice::Folder, Choice::Image }) {
            bool checked = false;
            whenDialogOpens([&](QWidget* dialog) {
                auto* files = qobject_cast<QFileDialog*>(dialog);
                QVERIFY(files);
                QCOMPARE(files->windowTitle(), u"请选择一个目录"_s);
                QCOMPARE(files->parentWidget(), &owner);
                QCOMPARE(files->fileMode(), QFileDialog::Directory);
                QVERIFY(!files->testOption(QFileDialog::ShowDirsOnly));
                checked = true;
                files->setDirectory(QString::fromStdString(folder.path()));
                // Typed, as selectFile() leaves the name box alone while it has the focus.
                if (choice == Choice::Image)
                    files->findChild<QLineEdit*>(u"fileNameEdit"_s)->setText(u"disc.iso"_s);
                if (choice == Choice::Cancel)
                    files->reject();
                else
                    static_cast<QDialog*>(files)->accept(); // as the button does; protected in QFileDialog
            });
            const QString picked = getSelFolder(picker, &owner, u"请选择一个目录"_s);
            QVERIFY(checked);
            const QString expected[] = { QString(), QString::fromStdString(folder.path()), image };
            QCOMPARE(picked, expected[static_cast<int>(choice)]);
        }
    }

    void controlsAsDesigned()
    {
        open(m_tree);
        QCOMPARE(m_dialog->windowTitle(), u"添加列表"_s);
        QVERIFY(m_dialog->isModal());
        QCOMPARE(m_dialog->minimumSize(), QSize(413, 389));
        QCOMPARE(m_dialog->maximumSize(), QSize(413, 389));

        struct Expected {
            QString name;
            QString caption;
            QRect rect;
        };
        const std::vector<Expected> expected = {
            { u"lblDisk"_s, u"磁盘(目录)："_s, { 8, 16, 72, 12 } },
            { u"cmbDisk"_s, {}, { 80, 12, 177, 20 } },
            { u"cmdSelDir"_s, u"..."_s, { 264, 8, 33, 25 } },
            { u"cmdGenXml"_s, u"生成列表(&G)"_s, { 312, 8, 89, 25 } },
            { u"Frame1"_s, u"生成选项"_s, { 8, 40, 393, 193 } },
            { u"chkIfUseOption"_s, u"创建时使用过滤器"_s, { 8, 24, 345, 25 } },
            { u"Label1"_s, u"创建时不包含以下文件类型："_s, { 8, 72, 156, 12 } },
            { u"txtNoFile"_s, {}, { 8, 96, 377, 20 } },
            { u"chkYesFile"_s, u"创建时仅包含以下文件类型"_s, { 8, 128, 257, 25 } },
            { u"txtYesFile"_s, {}, { 8, 160, 377, 20 } },
            { u"lblShow"_s, {}, { 8, 240, 393, 25 } },
            { u"cmdSaveOption"_s, u"保存选项(&O)"_s, { 224, 352, 81, 25 } },
            { u"cmdClose"_s, u"关闭退出(&X)"_s, { 320, 352, 81, 25 } },
        };
        for (const auto& [name, caption, rect] : expected) {
            QWidget* widget = control(name);
            QVERIFY2(widget, qPrintable(name));
            QCOMPARE(widget->geometry(), rect);
            QString text;
            if (auto* label = qobject_cast<QLabel*>(widget))
                text = label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                text = button->text();
            else if (auto* frame = qobject_cast<QGroupBox*>(widget))
                text = frame->title();
            QCOMPARE(text, caption);
        }
        for (const auto& name : { u"chkIfUseOption"_s, u"Label1"_s, u"txtNoFile"_s, u"chkYesFile"_s, u"txtYesFile"_s })
            QCOMPARE(control(name)->parentWidget(), control(u"Frame1"_s));
        QCOMPARE(control(u"cmdSelDir"_s)->toolTip(), u"选择磁盘目录"_s);
        QCOMPARE(cmdGenXml()->shortcut(), QKeySequence(Qt::ALT | Qt::Key_G));
        QCOMPARE(cmdSaveOption()->shortcut(), QKeySequence(Qt::ALT | Qt::Key_O));
        QCOMPARE(control<QPushButton>(u"cmdClose"_s)->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
        QVERIFY(cmbDisk()->isEditable());
        QVERIFY(!lblShow()->isVisible());
        QVERIFY(!cmdSaveOption()->isEnabled());
    }

    void formLoadShowsTheSettingsInMemory()
    {
        open(m_tree, { "", "JPG|GIF", true, false });
        QCOMPARE(control<QLineEdit>(u"txtNoFile"_s)->text(), u"gif|jpg|pcx|tif|ico"_s);
        QCOMPARE(control<QLineEdit>(u"txtYesFile"_s)->text(), u"JPG|GIF"_s);
        QVERIFY(control(u"txtYesFile"_s)->isEnabled());
        QVERIFY(control<QCheckBox>(u"chkYesFile"_s)->isChecked());
        QVERIFY(!control<QCheckBox>(u"chkIfUseOption"_s)->isChecked());
        // Filling the boxes is not a change to save.
        QVERIFY(!cmdSaveOption()->isEnabled());

        open(m_tree, { "BMP", "", false, true });
        QCOMPARE(control<QLineEdit>(u"txtNoFile"_s)->text(), u"BMP"_s);
        QVERIFY(!control(u"txtYesFile"_s)->isEnabled());
        QVERIFY(control<QCheckBox>(u"chkIfUseOption"_s)->isChecked());
    }

    void theLastOpticalDriveIsPreselected()
    {
        open(m_tree, {},
            { { "/", DriveKind::Fixed }, { "/media/cdrom0", DriveKind::CdRom }, { "/media/cdrom1", DriveKind::CdRom },
                { "/media/usb", DriveKind::Removable } });
        QCOMPARE(cmbDisk()->count(), 4);
        QCOMPARE(cmbDisk()->currentIndex(), 2);
        QCOMPARE(cmbDisk()->currentText(), u"/media/cdrom1(光驱)"_s);

        open(m_tree, {}, { { "/", DriveKind::Fixed }, { "/home", DriveKind::Fixed } });
        QCOMPARE(cmbDisk()->count(), 2);
        QCOMPARE(cmbDisk()->currentIndex(), -1);
        QCOMPARE(cmbDisk()->currentText(), QString());

        open(m_tree);
        QCOMPARE(cmbDisk()->count(), 0);
        // With nothing chosen or typed there is nothing to scan, and nothing is said.
        QVERIFY(generate());
        QVERIFY(program().box.prompts.empty());
        QVERIFY(program().box.shown.empty());
    }

    void enablingRules()
    {
        open(m_tree);
        auto* chkYesFile = control<QCheckBox>(u"chkYesFile"_s);
        auto* txtYesFile = control<QLineEdit>(u"txtYesFile"_s);
        chkYesFile->click();
        QVERIFY(txtYesFile->isEnabled());
        QVERIFY(cmdSaveOption()->isEnabled());
        chkYesFile->click();
        QVERIFY(!txtYesFile->isEnabled());

        reopen();
        control<QCheckBox>(u"chkIfUseOption"_s)->click();
        QVERIFY(cmdSaveOption()->isEnabled());
        QVERIFY(!control(u"txtYesFile"_s)->isEnabled());
        QVERIFY(control(u"txtNoFile"_s)->isEnabled());

        for (const auto& box : { u"txtNoFile"_s, u"txtYesFile"_s }) {
            reopen();
            control<QLineEdit>(box)->setText(u"PNG"_s);
            QVERIFY2(cmdSaveOption()->isEnabled(), qPrintable(box));
        }
        cmdSaveOption()->click();
        QVERIFY(cmdSaveOption()->isEnabled());
    }

    void savingWritesTheFileInOrderAndTheSettingsInMemory()
    {
        open(m_tree);
        control<QLineEdit>(u"txtYesFile"_s)->setText(u"JPG"_s);
        control<QCheckBox>(u"chkIfUseOption"_s)->click();
        cmdSaveOption()->click();
        QCOMPARE(tests::readFile(program().context.folder.iniPath()),
            "[Options]\nNoFileStr=gif|jpg|pcx|tif|ico\nYesFileStr=JPG\nifYesFile=0\nifUseOption=1\n");
        const app::Settings saved { "gif|jpg|pcx|tif|ico", "JPG", false, true };
        QCOMPARE(program().context.settings, saved);

        // An empty box is not stored, so the value in memory stays what the file keeps.
        control<QLineEdit>(u"txtYesFile"_s)->clear();
        control<QLineEdit>(u"txtNoFile"_s)->setText(u"BMP"_s);
        control<QCheckBox>(u"chkYesFile"_s)->click();
        cmdSaveOption()->click();
        QCOMPARE(tests::readFile(program().context.folder.iniPath()),
            "[Options]\nNoFileStr=BMP\nYesFileStr=JPG\nifYesFile=1\nifUseOption=1\n");
        const app::Settings resaved { "BMP", "JPG", true, true };
        QCOMPARE(program().context.settings, resaved);

        // The next opening shows what was saved.
        reopen();
        QCOMPARE(control<QLineEdit>(u"txtNoFile"_s)->text(), u"BMP"_s);
        QVERIFY(control<QCheckBox>(u"chkYesFile"_s)->isChecked());
    }

    // 同时计算校验和 is written as soon as it is clicked, under a key of its own that a Windows copy
    // passes over, the file's other lines kept byte for byte; 保存选项 leaves it alone.
    void theChecksumsAndArchivesBoxesAreKeptInTheSettingsFile()
    {
        open(m_tree);
        const std::string ini = program().context.folder.iniPath();
        tests::writeFile(ini, "[Options]\r\nNoFileStr=GIF\r\nifUseOption=1\r\n");
        QVERIFY(app::getIniSetting(program().context.folder, program().context.settings, program().box));
        QVERIFY(!program().context.settings.checksums);
        reopen();
        auto* box = control<QCheckBox>(u"chkChecksums"_s);
        QCOMPARE(box->text(), u"同时计算校验和"_s);
        QVERIFY(!box->isChecked());
        // Below the progress text, clear of the frame and the buttons.
        QVERIFY(box->geometry().top() >= lblShow()->geometry().bottom());
        QVERIFY(box->geometry().bottom() < cmdSaveOption()->geometry().top());
        box->click();
        QCOMPARE(tests::readFile(ini), "[Options]\r\nNoFileStr=GIF\r\nifUseOption=1\r\nChecksums=1\r\n");
        QVERIFY(program().context.settings.checksums);
        QVERIFY(!cmdSaveOption()->isEnabled());

        // Read back at the next start, and shown.
        app::Settings loaded;
        QVERIFY(app::getIniSetting(program().context.folder, loaded, program().box));
        QVERIFY(loaded.checksums);
        reopen();
        QVERIFY(control<QCheckBox>(u"chkChecksums"_s)->isChecked());
        control<QCheckBox>(u"chkChecksums"_s)->click();
        QCOMPARE(tests::readFile(ini), "[Options]\r\nNoFileStr=GIF\r\nifUseOption=1\r\nChecksums=0\r\n");
        QVERIFY(!program().context.settings.checksums);

        // The archives box below it, kept the same way under a key of its own.
        auto* archives = control<QCheckBox>(u"chkArchives"_s);
        QCOMPARE(archives->text(), u"包括压缩文件内容"_s);
        QVERIFY(archives->geometry().top() >= control<QCheckBox>(u"chkChecksums"_s)->geometry().bottom());
        QVERIFY(archives->geometry().bottom() < cmdSaveOption()->geometry().top());
        archives->click();
        QCOMPARE(tests::readFile(ini), "[Options]\r\nNoFileStr=GIF\r\nifUseOption=1\r\nChecksums=0\r\nArchives=1\r\n");
        QVERIFY(program().context.settings.archives && !program().context.settings.checksums);
        reopen();
        QVERIFY(control<QCheckBox>(u"chkArchives"_s)->isChecked());
        QVERIFY(program().box.shown.empty());
    }

    // The file is kept in code page 936: a list it cannot hold is not saved, and the box says so.
    void aListTheSettingsFileCannotHoldIsRefusedInABox()
    {
        open(m_tree);
        control<QLineEdit>(u"txtNoFile"_s)->setText(u"GIF|😀"_s);
        cmdSaveOption()->click();
        QCOMPARE(tests::readFile(program().context.folder.iniPath()), "[Options]\nifYesFile=0\nifUseOption=0\n");
        QCOMPARE(program().context.settings.NoFileStr, "");
        const MessageRequest refused { "文件类型“GIF|😀”中含有配置文件无法保存的字符“😀”，此项设置未保存！", "保存选项",
            platform::MessageIcon::Warning, platform::MessageButtons::Ok };
        QCOMPARE(program().box.shown, std::vector<MessageRequest> { refused });
    }
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestFrmAddNew)
#include "tst_frmaddnew.moc"
