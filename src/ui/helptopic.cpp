#include "ui/helptopic.h"

#include <string>

#include "app/programfolder.h"
#include "app/programtitle.h"
#include "platform/desktopopener.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "platform/paths.h"
#include "ui/runstep.h"

namespace mellowby::ui {

void mnuHelpTopic_Click(const app::ProgramFolder& folder, platform::IFileSystem& fileSystem, platform::IMessageBox& box,
    platform::IDesktopOpener& opener)
{
    runStep([&] {
        const std::string helpFile = folder.resolve("BriscoHelp.txt");
        if (!fileSystem.isFile(helpFile)) {
            box.show({ "当前帮助文件(BriscoHelp.txt)不存在，请检查安装目录！", app::kProgramTitle,
                platform::MessageIcon::None, platform::MessageButtons::Ok });
            return;
        }
        [[maybe_unused]] const auto opened = opener.open(helpFile, platform::joinPath(folder.path(), ""));
    });
}

} // namespace mellowby::ui
