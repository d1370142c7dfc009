#include "addnewdialog.h"
#include "catalogdb/databasereader.h"

#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QScopeGuard>

#include "digest/digestalgorithm.h"
#include "fakes/endlesslister.h"
#include "fakes/gatedlister.h"
#include "platform/linux/linuxdirectorylister.h"
#include "support/qtestmain.h"
#include "support/zipbytes.h"

namespace mellowby::ui {

using fakes::FakeDirectoryLister;
using platform::DriveKind;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageRequest;
using tests::kMarch15;

// The generation dialog making a catalog: the name prompt, the media check, the overwrite question,
// the stop button and closing during a walk.
class TestFrmAddNewScan : public QObject, private AddNewDialogTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useOwnConfigHome(); }
    void init() { makeTree(); }
    void cleanup() { closeDialog(); }

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

    // A disc image file picked in the same dialog is catalogued as the disc it holds.
    void aPickedImageFileIsCataloguedAsItsDisc()
    {
        if (std::system("command -v xorriso > /dev/null 2>&1") != 0)
            QSKIP("xorriso is not installed");
        tests::TemporaryFolder folder;
        tests::writeFile(folder / "src/a.txt", "a");
        tests::writeFile(folder / "src/sub/b.jpg", "b");
        const std::string image = folder / "disc.iso";
        QCOMPARE(std::system(("xorriso -as mkisofs -quiet -J -R -V DISC -o '" + image + "' '" + (folder / "src")
                     + "' 2> /dev/null")
                                 .c_str()),
            0);
        platform::LinuxDirectoryLister lister;
        open(lister);
        program().picker.answer = QString::fromStdString(image);
        control<QPushButton>(u"cmdSelDir"_s)->click();
        QCOMPARE(cmbDisk()->currentText(), QString::fromStdString(image));
        program().box.queuePromptAnswer("Disc I");
        QVERIFY(generate());

        QVERIFY(program().box.shown.empty());
        QCOMPARE(program().dataFiles(),
            (std::vector<std::string> { "Disc I.idx", "Disc I.sqlite", "Disc I.vol", "Disc I.xml" }));
        const std::string catalog = tests::readFile(program().dataFile("Disc I.xml"));
        QVERIFY(contains(catalog, "<Disk title=\"Disc I\" Label=\"" + image + "\">"));
        QVERIFY(contains(catalog, ">a.txt</File>"));
        QVERIFY(contains(catalog, ">b.jpg</File>"));
        QVERIFY(contains(tests::readFile(program().dataFile("Disc I.vol")), "\nimage.label=DISC\n"));
        QCOMPARE(lblShow()->text(), kGenerated);
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

    // With 同时计算校验和 on, the walk digests every file into the database; while it reads them the
    // progress text says how far, and stopping then keeps the old catalog.
    void checksumsGoIntoTheDatabaseAndStoppingKeepsTheOldCatalog()
    {
        tests::TemporaryFolder tree;
        tests::writeFile(tree / "a b.txt", "a");
        tests::writeFile(tree / "sub/b.jpg", "b");
        platform::LinuxDirectoryLister lister;
        app::Settings settings;
        settings.checksums = true;
        open(lister, settings);
        QVERIFY(control<QCheckBox>(u"chkChecksums"_s)->isChecked());
        cmbDisk()->setEditText(QString::fromStdString(tree.path()));
        program().box.queuePromptAnswer("Disc");
        QVERIFY(generate());
        QCOMPARE(lblShow()->text(), kGenerated);
        QVERIFY(program().box.shown.empty());
        auto reading = catalogdb::openForDigests(
            program().fileSystem, program().dataFile("Disc.sqlite"), program().dataFile("Disc.xml"));
        QVERIFY(reading.has_value());
        std::vector<std::string> lines;
        while (const auto file = reading->reader->nextFileAlone())
            lines.push_back(
                digest::digestOf(file->digest->algorithm, file->digest->bytes.view())->text() + "  " + file->path);
        QCOMPARE(reading->reader->finish(reading->catalogHash), catalogdb::DatabaseState::Belongs);
        // As xxhsum -H2 prints them.
        QCOMPARE(lines,
            (std::vector<std::string> {
                "a96faf705af16834e6c632b61e964e1f  a b.txt", "4b2212e31ac97fd4575a0b1c44d8843f  sub/b.jpg" }));

        // A file large enough to be stopped while it is read (its holes take no room).
        const std::string before = tests::readFile(program().dataFile("Disc.xml"));
        tests::writeFile(tree / "big.bin", "");
        std::filesystem::resize_file(tree / "big.bin", std::uintmax_t { 16 } << 30);
        program().box.queuePromptAnswer("Disc");
        program().box.queueAnswer(MessageAnswer::Yes);
        cmdGenXml()->click();
        QTRY_VERIFY(lblShow()->text().contains(u"还需"_s));
        QVERIFY2(lblShow()->text().startsWith(u"已读取 "_s), qPrintable(lblShow()->text()));
        QVERIFY2(lblShow()->text().contains(u" / 3 个文件，"_s), qPrintable(lblShow()->text()));
        QVERIFY2(lblShow()->text().contains(u" / 16 GB，"_s), qPrintable(lblShow()->text()));
        cmdGenXml()->click();
        QVERIFY(QTest::qWaitFor([this] { return !m_dialog->generating(); }, 10000));
        QVERIFY(!lblShow()->isVisible());
        QCOMPARE(tests::readFile(program().dataFile("Disc.xml")), before);
    }

    void archivesBoxListsMembersIntoTheDatabase()
    {
        tests::TemporaryFolder tree;
        tests::writeFile(tree / "photos.zip", tests::zipBytes({ { "trip/a.jpg", "jpeg" }, { "b.txt", "text" } }));
        platform::LinuxDirectoryLister lister;
        app::Settings settings;
        settings.archives = true;
        open(lister, settings);
        QVERIFY(control<QCheckBox>(u"chkArchives"_s)->isChecked());
        cmbDisk()->setEditText(QString::fromStdString(tree.path()));
        program().box.queuePromptAnswer("Disc");
        QVERIFY(generate());
        QCOMPARE(lblShow()->text(), kGenerated);
        QVERIFY(program().box.shown.empty());
        sqlite3* database = nullptr;
        QCOMPARE(sqlite3_open_v2(program().dataFile("Disc.sqlite").c_str(), &database, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
        const auto closing = qScopeGuard([database] { sqlite3_close(database); });
        sqlite3_stmt* names = nullptr;
        QCOMPARE(
            sqlite3_prepare_v2(database, "SELECT group_concat(name, '|') FROM (SELECT name FROM members ORDER BY name)",
                -1, &names, nullptr),
            SQLITE_OK);
        const auto finalizing = qScopeGuard([names] { sqlite3_finalize(names); });
        QCOMPARE(sqlite3_step(names), SQLITE_ROW);
        QCOMPARE(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(names, 0))), u"a.jpg|b.txt|trip"_s);
    }
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestFrmAddNewScan)
#include "tst_frmaddnewscan.moc"
