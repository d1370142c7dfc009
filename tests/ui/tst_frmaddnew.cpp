#include "addnewprogram.h"

#include <memory>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "fakes/endlesslister.h"
#include "fakes/gatedlister.h"
#include "fakes/scriptedfolderpicker.h"
#include "platform/linux/linuxdirectorylister.h"
#include "support/dates.h"
#include "support/modaldialogs.h"
#include "support/qtestmain.h"
#include "ui/frmaddnew.h"
#include "ui/selfolder.h"

namespace mellowby::ui {

using namespace Qt::StringLiterals;
using fakes::FakeDirectoryLister;
using platform::DriveKind;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageRequest;
using tests::kMarch15;
using tests::whenDialogOpens;

namespace {

const QString kWorking = u"正在生成磁盘列表文件，请稍候..."_s;
const QString kGenerated = u"磁盘列表文件已生成！"_s;

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> rootLabels(const browse::CatalogBrowser& browser)
{
    std::vector<std::string> labels;
    for (const auto root : browser.tree().roots())
        labels.push_back(browser.tree().label(root));
    return labels;
}

} // namespace

class TestFrmAddNew : public QObject {
    Q_OBJECT

private:
    void open(platform::IDirectoryLister& lister, app::Settings settings = {}, std::vector<platform::Drive> drives = {})
    {
        m_program = std::make_unique<tests::AddNewProgram>(lister);
        m_program->context.settings = std::move(settings);
        m_program->setDrives(std::move(drives));
        reopen();
    }
    void reopen()
    {
        m_dialog.reset();
        m_dialog = std::make_unique<frmAddNew>(m_program->context, m_program->browser);
        m_dialog->show();
    }

    template <typename Widget = QWidget> Widget* control(const QString& name) const
    {
        return m_dialog->findChild<Widget*>(name);
    }
    QComboBox* cmbDisk() const { return control<QComboBox>(u"cmbDisk"_s); }
    QPushButton* cmdGenXml() const { return control<QPushButton>(u"cmdGenXml"_s); }
    QPushButton* cmdSaveOption() const { return control<QPushButton>(u"cmdSaveOption"_s); }
    QLabel* lblShow() const { return control<QLabel>(u"lblShow"_s); }

    // Presses the generate button and waits for the walk it starts, if any, to end.
    bool generate()
    {
        cmdGenXml()->click();
        return QTest::qWaitFor([this] { return !m_dialog->generating(); }, 10000);
    }

    tests::AddNewProgram& program() { return *m_program; }

    std::unique_ptr<tests::AddNewProgram> m_program;
    std::unique_ptr<frmAddNew> m_dialog;
    FakeDirectoryLister m_tree;

    // The desktop's folder dialog keeps its history in the user's settings: here, in a folder
    // of the test's own.
    tests::TemporaryFolder m_configHome;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_configHome.path())); }

    void init()
    {
        m_tree = FakeDirectoryLister();
        m_tree.addDirectory("/data/photos",
            { FakeDirectoryLister::file("a.txt", 10, kMarch15), FakeDirectoryLister::directory("sub", kMarch15) });
        m_tree.addDirectory("/data/photos/sub", { FakeDirectoryLister::file("b.jpg", 2048, kMarch15) });
    }

    void cleanup()
    {
        m_dialog.reset();
        m_program.reset();
    }

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

    void theDesktopFolderDialogPicksDirectoriesOnly()
    {
        tests::TemporaryFolder folder;
        QWidget owner;
        QtFolderPicker picker;
        for (const bool choose : { false, true }) {
            bool checked = false;
            whenDialogOpens([&](QWidget* dialog) {
                auto* files = qobject_cast<QFileDialog*>(dialog);
                QVERIFY(files);
                QCOMPARE(files->windowTitle(), u"请选择一个目录"_s);
                QCOMPARE(files->parentWidget(), &owner);
                QCOMPARE(files->fileMode(), QFileDialog::Directory);
                QVERIFY(files->testOption(QFileDialog::ShowDirsOnly));
                checked = true;
                if (choose) {
                    files->setDirectory(QString::fromStdString(folder.path()));
                    static_cast<QDialog*>(files)->accept(); // QFileDialog hides its own
                } else {
                    files->reject();
                }
            });
            const QString picked = getSelFolder(picker, &owner, u"请选择一个目录"_s);
            QVERIFY(checked);
            QCOMPARE(picked, choose ? QString::fromStdString(folder.path()) : QString());
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

    void aPickedFolderIsScannedWithoutMediaCheck()
    {
        tests::TemporaryFolder tree;
        tests::writeFile(tree / "a.txt", "a");
        tests::writeFile(tree / "sub/b.jpg", "b");
        platform::LinuxDirectoryLister lister;
        open(lister, {}, { { "/media/cdrom", DriveKind::CdRom } });
        program().picker.answer = QString::fromStdString(tree.path() + "/");
        control<QPushButton>(u"cmdSelDir"_s)->click();
        QCOMPARE(program().picker.titles, std::vector<QString> { u"请选择一个目录"_s });
        QCOMPARE(program().picker.owners, std::vector<QWidget*> { m_dialog.get() });
        QCOMPARE(cmbDisk()->currentIndex(), -1);
        QCOMPARE(cmbDisk()->currentText(), QString::fromStdString(tree.path()));

        // Filter changes that were not saved do not count: the settings in memory apply.
        control<QCheckBox>(u"chkIfUseOption"_s)->click();
        control<QLineEdit>(u"txtNoFile"_s)->setText(u"TXT"_s);
        program().box.queuePromptAnswer("Disc A");
        QVERIFY(generate());

        QVERIFY(program().drives.mediaAsked.empty());
        QCOMPARE(program().box.prompts.size(), 1u);
        QCOMPARE(program().box.prompts[0].text, "请输入该盘名称:");
        QCOMPARE(program().box.prompts[0].title, "Mellowby");
        QCOMPARE(program().box.prompts[0].defaultText, "");
        QVERIFY(program().box.shown.empty());
        QCOMPARE(program().dataFiles(), (std::vector<std::string> { "Disc A.idx", "Disc A.sqlite", "Disc A.xml" }));
        const std::string catalog = tests::readFile(program().dataFile("Disc A.xml"));
        QVERIFY(contains(catalog, "<Disk title=\"Disc A\" Label=\"" + tree.path() + "\">"));
        QVERIFY(contains(catalog, ">a.txt</File>"));
        QVERIFY(contains(catalog, ">b.jpg</File>"));
        QCOMPARE(rootLabels(program().browser), std::vector<std::string> { "Disc A" });
        QVERIFY(program().browser.ifXmlLoaded("Disc A"));
        QVERIFY(lblShow()->isVisible());
        QCOMPARE(lblShow()->text(), kGenerated);
        QCOMPARE(cmdGenXml()->text(), u"生成列表(&G)"_s);
        QVERIFY(cmbDisk()->isEnabled());

        // Cancelling the folder dialog leaves the box as it was.
        program().picker.answer.clear();
        control<QPushButton>(u"cmdSelDir"_s)->click();
        QCOMPARE(cmbDisk()->currentText(), QString::fromStdString(tree.path()));
    }

    void anOpticalDriveWithoutDiscIsNotScanned()
    {
        open(m_tree, {}, { { "/media/cdrom", DriveKind::CdRom } });
        QVERIFY(generate());
        QCOMPARE(program().drives.mediaAsked, std::vector<std::string> { "/media/cdrom" });
        const MessageRequest notReady { "光驱未准备好！或被其他程序打开占用！请关闭占用光驱的程序。", "Quillon",
            MessageIcon::Warning, MessageButtons::Ok };
        QCOMPARE(program().box.shown, std::vector<MessageRequest> { notReady });
        QVERIFY(program().box.prompts.empty());
        QVERIFY(!lblShow()->isVisible());
        QVERIFY(program().dataFiles().empty());
    }

    // A mount point may hold "(" itself; the root is what comes before the kind text.
    void aMountPointWithAParenthesis()
    {
        FakeDirectoryLister lister;
        lister.addDirectory("/media/u/Disc (2004)", { FakeDirectoryLister::file("a.txt", 1, kMarch15) });
        open(lister, {}, { { "/media/u/Disc (2004)", DriveKind::CdRom } });
        program().drives.media["/media/u/Disc (2004)"] = true;
        QCOMPARE(cmbDisk()->currentText(), u"/media/u/Disc (2004)(光驱)"_s);
        program().box.queuePromptAnswer("Disc 2004");
        QVERIFY(generate());
        QCOMPARE(program().drives.mediaAsked, std::vector<std::string> { "/media/u/Disc (2004)" });
        QVERIFY(contains(tests::readFile(program().dataFile("Disc 2004.xml")),
            "<Disk title=\"Disc 2004\" Label=\"/media/u/Disc (2004)\">"));
        QCOMPARE(lblShow()->text(), kGenerated);
    }

    void cancellingTheNamePromptWritesNothing()
    {
        open(m_tree);
        cmbDisk()->setEditText(u"/data/photos"_s);
        program().box.queuePromptAnswer(std::nullopt);
        QVERIFY(generate());
        QCOMPARE(program().box.prompts.size(), 1u);
        QVERIFY(program().dataFiles().empty());
        QVERIFY(!lblShow()->isVisible());
        QVERIFY(program().browser.tree().empty());
    }

    // The text saying the last catalog was made goes as soon as the next generation starts, so a
    // prompt cancelled then does not leave it on screen.
    void aCancelledPromptAfterASuccessHidesTheDoneText()
    {
        open(m_tree);
        cmbDisk()->setEditText(u"/data/photos"_s);
        program().box.queuePromptAnswer("Disc");
        QVERIFY(generate());
        QVERIFY(lblShow()->isVisible());
        program().box.queuePromptAnswer(std::nullopt);
        QVERIFY(generate());
        QVERIFY(!lblShow()->isVisible());
        QCOMPARE(program().dataFiles(), (std::vector<std::string> { "Disc.idx", "Disc.sqlite", "Disc.xml" }));
    }

    void anEmptyNameGivesTmp1000Everywhere()
    {
        open(m_tree);
        // Typed with a doubled separator, which counts as one.
        cmbDisk()->setEditText(u"/data//photos"_s);
        program().box.queuePromptAnswer("");
        QVERIFY(generate());
        QCOMPARE(program().dataFiles(), (std::vector<std::string> { "tmp1000.idx", "tmp1000.sqlite", "tmp1000.xml" }));
        QVERIFY(contains(
            tests::readFile(program().dataFile("tmp1000.xml")), "<Disk title=\"tmp1000\" Label=\"/data/photos\">"));
        QCOMPARE(rootLabels(program().browser), std::vector<std::string> { "tmp1000" });
        QVERIFY(program().browser.ifXmlLoaded("tmp1000"));
        QCOMPARE(lblShow()->text(), kGenerated);
    }

    // The walk asks the program's volumes which one it scans, and the catalog keeps the answer.
    void theScannedVolumeIsRecorded()
    {
        open(m_tree);
        program().volumes.mounted = { { "1234-ABCD", "DATA", "ext4", 1 << 30, "/dev/sdb1", "/data", "/" } };
        cmbDisk()->setEditText(u"/data/photos"_s);
        program().box.queuePromptAnswer("Disc");
        QVERIFY(generate());
        QCOMPARE(
            program().dataFiles(), (std::vector<std::string> { "Disc.idx", "Disc.sqlite", "Disc.vol", "Disc.xml" }));
        QVERIFY(contains(tests::readFile(program().dataFile("Disc.vol")), "\nuuid=1234-ABCD\n"));
    }

    void decliningTheOverwriteKeepsTheOldCatalog()
    {
        open(m_tree);
        tests::writeFile(program().dataFile("Disc.xml"), "old catalog");
        tests::writeFile(program().dataFile("Disc.idx"), "old twin");
        cmbDisk()->setEditText(u"/data/photos"_s);
        program().box.queuePromptAnswer("Disc");
        program().box.queueAnswer(MessageAnswer::No);
        QVERIFY(generate());
        // Asked from the walk's thread, answered on the window's.
        const MessageRequest overwrite { "当前文件已存在，是否覆盖？", "生成xml文件", MessageIcon::Warning,
            MessageButtons::YesNo };
        QCOMPARE(program().box.shown, std::vector<MessageRequest> { overwrite });
        QVERIFY(!lblShow()->isVisible());
        QCOMPARE(tests::readFile(program().dataFile("Disc.xml")), "old catalog");
        QCOMPARE(tests::readFile(program().dataFile("Disc.idx")), "old twin");
        QCOMPARE(program().dataFiles(), (std::vector<std::string> { "Disc.idx", "Disc.xml" }));
        QVERIFY(program().browser.tree().empty());
    }

    void theStopButtonEndsTheWalkAndKeepsTheOldCatalog()
    {
        fakes::EndlessLister lister;
        open(lister, {}, {});
        tests::writeFile(program().dataFile("Big.xml"), "old catalog");
        tests::writeFile(program().dataFile("Big.idx"), "old twin");
        control<QLineEdit>(u"txtNoFile"_s)->setText(u"PNG"_s); // cmdSaveOption is enabled now
        cmbDisk()->setEditText(u"/big"_s);
        program().box.queuePromptAnswer("Big");
        program().box.queueAnswer(MessageAnswer::Yes);
        cmdGenXml()->click();

        QVERIFY(m_dialog->generating());
        QVERIFY(lblShow()->isVisible());
        QVERIFY(lblShow()->text().startsWith(kWorking));
        // The counts go on changing while the walk runs.
        QTRY_VERIFY(lblShow()->text().contains(u"目录 "_s));
        const QString earlier = lblShow()->text();
        QTRY_VERIFY(lblShow()->text() != earlier);
        QVERIFY(lblShow()->text().startsWith(kWorking));
        // The folder is shortened in the middle to fit the line.
        QVERIFY(lblShow()->text().contains(u"，文件 "_s));
        QVERIFY(lblShow()->text().contains(u"：/big/"_s));
        QVERIFY(lblShow()->fontMetrics().horizontalAdvance(lblShow()->text()) <= lblShow()->width());
        QCOMPARE(cmdGenXml()->text(), u"停止(&S)"_s);
        QVERIFY(cmdGenXml()->isEnabled());
        for (const auto& name : { u"cmbDisk"_s, u"cmdSelDir"_s, u"Frame1"_s, u"txtNoFile"_s, u"chkIfUseOption"_s,
                 u"cmdSaveOption"_s, u"cmdClose"_s })
            QVERIFY2(!control(name)->isEnabled(), qPrintable(name));

        cmdGenXml()->click();
        QTRY_VERIFY(!m_dialog->generating());
        QVERIFY(!lblShow()->isVisible());
        QCOMPARE(tests::readFile(program().dataFile("Big.xml")), "old catalog");
        QCOMPARE(tests::readFile(program().dataFile("Big.idx")), "old twin");
        QCOMPARE(program().dataFiles(), (std::vector<std::string> { "Big.idx", "Big.xml" }));
        QVERIFY(program().browser.tree().empty());
        QCOMPARE(cmdGenXml()->text(), u"生成列表(&G)"_s);
        for (const auto& name : { u"cmbDisk"_s, u"cmdGenXml"_s, u"cmdSelDir"_s, u"Frame1"_s, u"txtNoFile"_s,
                 u"cmdSaveOption"_s, u"cmdClose"_s })
            QVERIFY2(control(name)->isEnabled(), qPrintable(name));
        QVERIFY(!control(u"txtYesFile"_s)->isEnabled());
    }

    void closingDuringAWalkStopsIt()
    {
        fakes::EndlessLister lister;
        open(lister);
        cmbDisk()->setEditText(u"/big"_s);
        program().box.queuePromptAnswer("Big");
        cmdGenXml()->click();
        QTRY_VERIFY(lblShow()->text().contains(u"目录 "_s));
        m_dialog->close();
        QVERIFY(!m_dialog->generating());
        QVERIFY(!m_dialog->isVisible());
        QVERIFY(program().dataFiles().empty());
    }

    // A box the walk asks for just as the dialog closes must not leave the window waiting for
    // the walk while the walk waits for the window.
    void closingWhileTheWalkAsksForABox()
    {
        fakes::GatedLister lister;
        lister.tree.addDirectory(
            "/r", { FakeDirectoryLister::directory("a", kMarch15), FakeDirectoryLister::directory("b", kMarch15) });
        lister.tree.addDirectory("/r/a", { FakeDirectoryLister::file("x", 1, kMarch15) });
        lister.tree.failListing("/r/a", platform::Error { 5, "Input/output error" }, 3);
        lister.holdAt("/r/a");
        open(lister);
        cmbDisk()->setEditText(u"/r"_s);
        program().box.queuePromptAnswer("R");
        cmdGenXml()->click();
        QTRY_VERIFY(lister.held());
        lister.release();
        m_dialog->close();
        QVERIFY(!m_dialog->generating());
        QVERIFY(program().box.shown.empty());
        QVERIFY(program().dataFiles().empty());
    }
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestFrmAddNew)
#include "tst_frmaddnew.moc"
