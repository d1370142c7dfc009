#include "app/settings.h"

#include <cerrno>
#include <new>

#include "app/inidocument.h"
#include "app/programfolder.h"
#include "app/showmsg.h"
#include "app/textfile.h"
#include "platform/error.h"

namespace mellowby::app {

namespace {

constexpr const char* kSection = "Options";

} // namespace

bool getIniSetting(const ProgramFolder& folder, Settings& settings, platform::IMessageBox& box)
{
    platform::Error error;
    try {
        // One read for all four values, so they come from the same version of the file.
        auto contents = readWholeFile(folder.iniPath());
        if (contents) {
            // A missing file is not a failure: every setting reads as empty or false.
            const IniDocument document(contents->value_or(std::string()));
            Settings loaded;
            loaded.NoFileStr = document.value(kSection, "NoFileStr");
            loaded.YesFileStr = document.value(kSection, "YesFileStr");
            loaded.ifYesFile = document.value(kSection, "ifYesFile") == "1";
            loaded.ifUseOption = document.value(kSection, "ifUseOption") == "1";
            settings = std::move(loaded);
            return true;
        }
        error = contents.error();
    } catch (const std::bad_alloc&) {
        error = platform::errorFromErrno(ENOMEM);
    }
    ShowMsg(box, "读取配置文件时出错！", error, "getIniSetting");
    return false;
}

} // namespace mellowby::app
