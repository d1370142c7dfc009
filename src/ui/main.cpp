// mellowby: the catalog windows.

#include <string>

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/programfolder.h"
#include "platform/programpath.h"
#include "ui/frmmain.h"
#include "ui/qtmessagebox.h"

int main(int argc, char* argv[])
{
    using namespace mellowby;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mellowby"));
    QApplication::setApplicationVersion(QStringLiteral(MELLOWBY_VERSION));

    // Every text of the program is Chinese, so the standard buttons of its boxes are too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    const auto executableFolder = platform::runningExecutableFolder();
    const app::ProgramFolder folder(
        executableFolder ? *executableFolder : QCoreApplication::applicationDirPath().toStdString());

    ui::QtMessageBox box;
    ui::frmMain window(folder.dataDir(), box);
    box.setParentWidget(&window);
    window.show();
    return QApplication::exec();
}
