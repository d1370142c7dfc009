#include <atomic>
#include <filesystem>
#include <memory>

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QThread>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "digest/digestalgorithm.h"
#include "fakes/fakedesktopopener.h"
#include "fakes/fakemessagebox.h"
#include "fakes/fakevolumes.h"
#include "fakes/faultyfilereading.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilereading.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/scanner.h"
#include "support/qtestmain.h"
#include "support/temporaryfolder.h"
#include "ui/frmverify.h"

namespace mellowby::ui {

using namespace Qt::StringLiterals;

// The disc verification dialog over a real tree catalogued with digests: its rows, its summary,
// opening a row, and stopping.
class TestFrmVerify : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<tests::TemporaryFolder>();
        std::filesystem::create_directories(disc() / "sub");
        std::filesystem::create_directories(data());
        tests::writeFile(disc() / "ok.txt", "whole");
        tests::writeFile(disc() / "sub/gone.txt", "soon gone");
        tests::writeFile(disc() / "grow.txt", "short");
        m_volumes = std::make_unique<fakes::FakeVolumes>();
        m_volumes->mounted = { { "disc-uuid", "DISC", "iso9660", 1000, "/dev/sr0", disc().string(), "/" } };
        m_store = std::make_unique<catalog::CatalogStore>(data().string(), m_fileSystem);
        m_reading = std::make_unique<fakes::FaultyFileReading>(m_realReading);
        fakes::FakeMessageBox box;
        const catalog::DateFormatter dates("zh_CN");
        scan::ScanContext context { *m_store, m_settings, m_lister, box, dates, nullptr, nullptr, m_volumes.get(), true,
            digest::DigestAlgorithm::Xxh128, &m_realReading };
        QVERIFY(scan::genXml(context, disc().string(), "disc"));
    }

    void theFilesNotFoundWholeAreRowsThatOpen()
    {
        std::filesystem::remove(disc() / "sub/gone.txt");
        tests::writeFile(disc() / "grow.txt", "longer now");
        frmVerify dialog(services(), "disc", m_box, m_opener);
        QCOMPARE(dialog.windowTitle(), u"校验光盘：disc"_s);
        QTRY_VERIFY_WITH_TIMEOUT(dialog.finished(), 20000);
        QCOMPARE(dialog.findChild<QLabel*>(u"lblProgress"_s)->text(),
            u"校验完毕，有文件与目录不符：完好 1，损坏 0，已修改 1，缺失 1，新增 0，无法读取 0"_s);
        auto* rows = dialog.findChild<QTableView*>(u"lstProblems"_s);
        const QAbstractItemModel* model = rows->model();
        QCOMPARE(model->rowCount(), 2);
        QStringList found;
        for (int row = 0; row < model->rowCount(); ++row)
            found << model->index(row, 0).data().toString() + u" "_s + model->index(row, 1).data().toString();
        found.sort();
        QCOMPARE(found, (QStringList { u"gone.txt 缺失"_s, u"grow.txt 已修改"_s }));
        // The README's picture of the dialog is this one, saved where it is asked for.
        if (const QString folder = qEnvironmentVariable("MELLOWBY_SCREENSHOT_DIR"); !folder.isEmpty())
            QVERIFY(dialog.grab().save(folder + u"/verify.png"_s));
        QVERIFY(!dialog.findChild<QPushButton*>(u"cmdStop"_s)->isEnabled());
        QVERIFY(dialog.findChild<QPushButton*>(u"cmdClose"_s)->isEnabled());

        // A file that is there opens in its folder; one that is not is said, as the file list does.
        for (int row = 0; row < model->rowCount(); ++row)
            Q_EMIT rows->doubleClicked(model->index(row, 0));
        QCOMPARE(m_opener.opened.size(), std::size_t { 1 });
        QCOMPARE(
            QString::fromStdString(m_opener.opened[0].target), QString::fromStdString((disc() / "grow.txt").string()));
        QCOMPARE(m_box.shown.size(), std::size_t { 1 });
        QCOMPARE(QString::fromStdString(m_box.shown[0].text), u"当前文件不存，请检查！"_s);
        QCOMPARE(QString::fromStdString(m_box.shown[0].title), u"校验光盘"_s);
    }

    void stopEndsTheVerificationAndSaysSo()
    {
        // An optical disc is read one file at a time; the first read waits until 停止 is pressed.
        m_reading->setStorageKind(platform::StorageKind::Optical);
        std::atomic<bool> reading = false;
        std::atomic<bool> released = false;
        m_reading->beforeEachRead([&](const std::string&) {
            reading = true;
            while (!released)
                QThread::msleep(1);
        });
        frmVerify dialog(services(), "disc", m_box, m_opener);
        QTRY_VERIFY_WITH_TIMEOUT(reading.load(), 20000);
        QTest::mouseClick(dialog.findChild<QPushButton*>(u"cmdStop"_s), Qt::LeftButton);
        // The verification sees the stop while the read still waits, and stops the reading.
        QTest::qWait(200);
        released = true;
        QTRY_VERIFY_WITH_TIMEOUT(dialog.finished(), 20000);
        QCOMPARE(dialog.findChild<QLabel*>(u"lblProgress"_s)->text(), u"校验已停止。"_s);
    }

    void aCatalogWithoutItsDiscSaysWhy()
    {
        m_volumes->mounted.clear();
        frmVerify dialog(services(), "disc", m_box, m_opener);
        QTRY_VERIFY_WITH_TIMEOUT(dialog.finished(), 20000);
        QVERIFY(dialog.findChild<QLabel*>(u"lblProgress"_s)->text().startsWith(u"无法校验："_s));
        QCOMPARE(dialog.findChild<QTableView*>(u"lstProblems"_s)->model()->rowCount(), 0);
    }

private:
    std::filesystem::path disc() const { return std::filesystem::path(m_folder->path()) / "disc"; }
    std::filesystem::path data() const { return std::filesystem::path(m_folder->path()) / "Data"; }
    verify::VerifyServices services() { return { *m_store, m_lister, *m_reading, *m_volumes }; }

    std::unique_ptr<tests::TemporaryFolder> m_folder;
    app::Settings m_settings;
    platform::LinuxDirectoryLister m_lister;
    platform::LinuxFileSystem m_fileSystem;
    platform::LinuxFileReading m_realReading;
    std::unique_ptr<fakes::FaultyFileReading> m_reading;
    std::unique_ptr<fakes::FakeVolumes> m_volumes;
    std::unique_ptr<catalog::CatalogStore> m_store;
    fakes::FakeMessageBox m_box;
    fakes::FakeDesktopOpener m_opener;
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestFrmVerify)
#include "tst_frmverify.moc"
