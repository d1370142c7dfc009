#include "fakeprogram.h"

#include <filesystem>

#include <QApplication>
#include <QTest>
#include <QTreeView>

#include "support/qtestmain.h"
#include "support/temporaryfolder.h"
#include "ui/frmflash.h"
#include "ui/frmmain.h"
#include "ui/startup.h"

namespace mellowby::ui {

// The start of the program, from the settings to the main window, in a temporary program folder.
class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<tests::TemporaryFolder>();
        m_program = std::make_unique<tests::FakeProgram>(m_folder->path());
        m_program->drives.drives
            = { { "/media/cdrom", platform::DriveKind::CdRom }, { "/", platform::DriveKind::Fixed } };
    }
    void cleanup()
    {
        m_window.reset();
        m_program.reset();
        m_folder.reset();
    }

    void firstRunCreatesDataSilentlyAndOffersTheDrives()
    {
        start();
        QVERIFY(std::filesystem::is_directory(*m_folder / "Data"));
        QVERIFY(m_program->box.shown.empty());
        QCOMPARE(m_program->context.drives.drives.size(), 2u);
        QVERIFY(m_program->context.drives.opticalDriveOf("/media/cdrom/a") != nullptr);
        // No option.ini: empty lists, both switches off, no box.
        QCOMPARE(m_program->context.settings, app::Settings {});
        QCOMPARE(tree()->model()->rowCount(), 0);
    }

    void anUncreatableDataFolderGivesOneBox()
    {
        m_program->fileSystem.failCreateDirectory(platform::errorFromErrno(EACCES));
        start();
        QCOMPARE(m_program->box.shown.size(), 1u);
        QCOMPARE(m_program->box.shown[0].title, std::string("Mellowby"));
        QCOMPARE(m_program->box.shown[0].text, std::string("程序无法创建数据目录。程序可能无法正常运行！"));
        QCOMPARE(tree()->model()->rowCount(), 0);
        QVERIFY(m_window->isVisible());
    }

    void anUnreadableSettingsFileGivesTwoBoxesAndTheDefaults()
    {
        std::filesystem::create_directory(*m_folder / "option.ini"); // exists, cannot be read as a file
        start();
        QCOMPARE(m_program->box.shown.size(), 2u);
        QCOMPARE(m_program->box.shown[0].title, std::string("getIniSetting"));
        QCOMPARE(m_program->box.shown[1].title, std::string("Main"));
        QCOMPARE(m_program->box.shown[1].text, std::string("读取配置文件时出错！"));
        QCOMPARE(m_program->context.settings,
            (app::Settings { "GIF|JPG|PCX|TIF|ICO", "GIF|JPG|PCX|TIF|ICO", false, false }));
    }

    void settingsAreLoaded()
    {
        tests::writeFile(*m_folder / "option.ini", "[Options]\nNoFileStr=GIF\nifUseOption=1\n");
        start();
        QCOMPARE(m_program->context.settings, (app::Settings { "GIF", "", false, true }));
    }

    void theSplashIsGoneWhenTheMainWindowShows()
    {
        start();
        QVERIFY(m_window->isVisible());
        for (QWidget* widget : QApplication::topLevelWidgets())
            QVERIFY(!(qobject_cast<frmFlash*>(widget) != nullptr && widget->isVisible()));
    }

private:
    void start()
    {
        m_window = Main(m_program->context);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    QTreeView* tree() const { return m_window->findChild<QTreeView*>(QStringLiteral("treeDisk")); }

    std::unique_ptr<tests::TemporaryFolder> m_folder;
    std::unique_ptr<tests::FakeProgram> m_program;
    std::unique_ptr<frmMain> m_window;
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestStartup)
#include "tst_startup.moc"
