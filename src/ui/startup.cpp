#include "ui/startup.h"

#include "app/programtitle.h"
#include "app/showmsg.h"
#include "catalog/catalogstore.h"
#include "catalog/textutils.h"
#include "platform/paths.h"
#include "scan/scanner.h"
#include "ui/frmflash.h"
#include "ui/frmmain.h"
#include "ui/programcontext.h"
#include "ui/runstep.h"

namespace mellowby::ui {

void prepareProgramState(ProgramContext& context)
{
    runStep([&context] { context.settings = app::loadStartupSettings(context.folder, context.box); });
    runStep([&context] {
        const std::string dataDir = context.folder.dataDir() + platform::kPathSeparator;
        if (!catalog::ifFileExists(context.lister, dataDir, catalog::kMaskDirectories)
            && !scan::createDir(context.fileSystem, platform::joinPath(context.folder.path(), "Data")))
            app::ShowMsg(context.box, "程序无法创建数据目录。程序可能无法正常运行！", 0, "", app::kProgramTitle);
    });
    // What scans that died left in Data goes before anything reads it.
    runStep([&context] { catalog::CatalogStore(context.folder.dataDir(), context.fileSystem).removeLeftovers(); });
    // Also on a first run, which had to create Data: the drives are offered at once.
    runStep([&context] { catalog::getDriveList(context.drivesProbe, context.drives); });
}

std::unique_ptr<frmMain> Main(ProgramContext& context)
{
    prepareProgramState(context);
    auto* splash = new frmFlash();
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    auto window = std::make_unique<frmMain>(context, splash);
    window->show();
    return window;
}

} // namespace mellowby::ui
