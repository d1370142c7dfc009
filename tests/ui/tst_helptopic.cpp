#include <filesystem>
#include <set>
#include <string>

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include "app/programfolder.h"
#include "fakes/fakedesktopopener.h"
#include "fakes/fakemessagebox.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/qtestmain.h"
#include "support/temporaryfolder.h"
#include "ui/helptopic.h"

namespace mellowby::ui {

using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageRequest;

namespace {

const MessageRequest kMissingBox { "当前帮助文件(BriscoHelp.txt)不存在，请检查安装目录！", "Mellowby",
    MessageIcon::None, MessageButtons::Ok };

} // namespace

class TestHelpTopic : public QObject {
    Q_OBJECT

private:
    void open() { mnuHelpTopic_Click(app::ProgramFolder(m_folder, m_fileSystem), m_fileSystem, m_box, m_opener); }

    void write(const std::string& name) { tests::writeFile(m_folder + "/" + name, "帮助\n"); }

    void verifyMissingBox()
    {
        QCOMPARE(m_box.shown.size(), std::size_t { 1 });
        QVERIFY(m_box.shown[0] == kMissingBox);
        QVERIFY(m_opener.opened.empty());
    }

    tests::TemporaryFolder m_dir;
    std::string m_folder = m_dir.path();
    platform::LinuxFileSystem m_fileSystem;
    fakes::FakeMessageBox m_box;
    fakes::FakeDesktopOpener m_opener;

private Q_SLOTS:
    void init()
    {
        m_box.shown.clear();
        m_opener.opened.clear();
        m_opener.failure.reset();
    }

    void cleanup() { std::filesystem::remove_all(m_folder + "/BriscoHelp.txt"); }

    void opensTheHelpFileInTheProgramFolder()
    {
        write("BriscoHelp.txt");
        m_opener.failure = platform::Error { 0, "xdg-open 不存在" }; // not reported
        open();
        QVERIFY(m_box.shown.empty());
        QCOMPARE(m_opener.opened.size(), std::size_t { 1 });
        QCOMPARE(m_opener.opened[0].target, m_folder + "/BriscoHelp.txt");
        QCOMPARE(m_opener.opened[0].workingDirectory, m_folder + "/");
    }

    void findsTheFileWhateverItsLetterCase()
    {
        write("brisCOhelp.TXT");
        open();
        QVERIFY(m_box.shown.empty());
        QCOMPARE(m_opener.opened.size(), std::size_t { 1 });
        QCOMPARE(m_opener.opened[0].target, m_folder + "/brisCOhelp.TXT");
        std::filesystem::remove(m_folder + "/brisCOhelp.TXT");
    }

    void missingOrAFolderGiveTheBox()
    {
        open();
        verifyMissingBox();

        init();
        std::filesystem::create_directory(m_folder + "/BriscoHelp.txt");
        open();
        verifyMissingBox();
    }

    void theBuildPutsTheHelpFileBesideTheExecutables()
    {
        QFile help(QCoreApplication::applicationDirPath() + QStringLiteral("/BriscoHelp.txt"));
        QVERIFY(help.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(help.readAll());
        QVERIFY(text.contains(QStringLiteral("创建目录")));
        QVERIFY(text.contains(QStringLiteral("mellowby-cli")));
        QVERIFY(!text.contains(QChar::ReplacementCharacter));
    }
};

} // namespace mellowby::ui

MELLOWBY_QTEST_GUILESS_MAIN(mellowby::ui::TestHelpTopic)
#include "tst_helptopic.moc"
