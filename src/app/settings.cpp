#include "app/settings.h"

#include <cerrno>
#include <new>

#include "app/codepage936.h"
#include "app/inidocument.h"
#include "app/inifile.h"
#include "app/programfolder.h"
#include "app/showmsg.h"
#include "platform/error.h"
#include "platform/filesystem.h"

namespace mellowby::app {

namespace {

// The names under which the settings are stored: users' files rely on them.
constexpr const char* kSection = "Options";
constexpr const char* kNoFileStr = "NoFileStr";
constexpr const char* kYesFileStr = "YesFileStr";
constexpr const char* kIfYesFile = "ifYesFile";
constexpr const char* kIfUseOption = "ifUseOption";
constexpr const char* kChecksums = "Checksums";
constexpr const char* kArchives = "Archives";

} // namespace

Settings defaultSettings()
{
    return { kDefaultFileTypes, kDefaultFileTypes, false, false };
}

bool getIniSetting(const ProgramFolder& folder, Settings& settings, platform::IMessageBox& box)
{
    platform::Error error;
    try {
        // One read for all the values, so they come from the same version of the file.
        auto contents = folder.fileSystem().readWholeFile(folder.iniPath(), kMaxIniFileSize);
        if (contents) {
            // A missing file is not a failure: every setting reads as empty or false.
            const IniDocument document(contents->value_or(std::string()));
            Settings loaded;
            loaded.NoFileStr = document.value(kSection, kNoFileStr);
            loaded.YesFileStr = document.value(kSection, kYesFileStr);
            loaded.ifYesFile = document.value(kSection, kIfYesFile) == "1";
            loaded.ifUseOption = document.value(kSection, kIfUseOption) == "1";
            loaded.checksums = document.value(kSection, kChecksums) == "1";
            loaded.archives = document.value(kSection, kArchives) == "1";
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

Settings loadStartupSettings(const ProgramFolder& folder, platform::IMessageBox& box)
{
    Settings settings;
    if (!getIniSetting(folder, settings, box)) {
        ShowMsg(box, "读取配置文件时出错！", 0, "", "Main");
        settings = defaultSettings();
    }
    return settings;
}

void saveSettings(const ProgramFolder& folder, const Settings& wanted, Settings& inMemory, platform::IMessageBox& box)
{
    platform::IFileSystem& fileSystem = folder.fileSystem();
    const std::string ini = folder.iniPath();
    // The file is in code page 936, as on Windows; a list it cannot hold would be lost without a
    // word, and the filter would go on with the old one.
    const auto storable = [&](const std::string& fileTypes) {
        const auto lacking = firstCharacterCp936Lacks(fileTypes);
        if (lacking)
            ShowMsg(box, "文件类型“" + fileTypes + "”中含有配置文件无法保存的字符“" + *lacking + "”，此项设置未保存！",
                0, "", "保存选项");
        return !lacking;
    };
    if (storable(wanted.NoFileStr) && setIniString(fileSystem, ini, kSection, kNoFileStr, wanted.NoFileStr))
        inMemory.NoFileStr = wanted.NoFileStr;
    if (storable(wanted.YesFileStr) && setIniString(fileSystem, ini, kSection, kYesFileStr, wanted.YesFileStr))
        inMemory.YesFileStr = wanted.YesFileStr;
    if (setIniBool(fileSystem, ini, kSection, kIfYesFile, wanted.ifYesFile))
        inMemory.ifYesFile = wanted.ifYesFile;
    if (setIniBool(fileSystem, ini, kSection, kIfUseOption, wanted.ifUseOption))
        inMemory.ifUseOption = wanted.ifUseOption;
}

void saveScanExtra(const ProgramFolder& folder, ScanExtra extra, bool wanted, Settings& inMemory)
{
    const bool checksums = extra == ScanExtra::Checksums;
    if (setIniBool(folder.fileSystem(), folder.iniPath(), kSection, checksums ? kChecksums : kArchives, wanted))
        (checksums ? inMemory.checksums : inMemory.archives) = wanted;
}

} // namespace mellowby::app
