// mellowby: the catalog windows.

#include <string>

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/programtitle.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxdrives.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/linux/linuxvolumes.h"
#include "platform/programpath.h"
#include "ui/applicationicon.h"
#include "ui/frmmain.h"
#include "ui/programcontext.h"
#include "ui/qtdesktopopener.h"
#include "ui/qtmessagebox.h"
#include "ui/selfolder.h"
#include "ui/startup.h"

int main(int argc, char* argv[])
{
    using namespace mellowby;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(app::kProgramTitle));
    QApplication::setApplicationVersion(QStringLiteral(MELLOWBY_VERSION));
    QApplication::setWindowIcon(ui::applicationIcon());

    // Every text of the program is Chinese, so the standard buttons of its boxes are too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    const auto executableFolder = platform::runningExecutableFolder();
    platform::LinuxDirectoryLister lister;
    platform::LinuxFileSystem fileSystem;
    platform::LinuxDrives drives;
    platform::LinuxVolumes volumes;
    ui::QtMessageBox box;
    ui::QtDesktopOpener opener;
    ui::QtFolderPicker folderPicker;
    ui::ProgramContext context {
        app::ProgramFolder(
            executableFolder ? *executableFolder : QCoreApplication::applicationDirPath().toStdString(), fileSystem),
        {},
        {},
        lister,
        fileSystem,
        drives,
        volumes,
        box,
        opener,
        folderPicker,
    };

    const auto window = ui::Main(context);
    box.setParentWidget(window.get());
    return QApplication::exec();
}
