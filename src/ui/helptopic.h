#pragma once

namespace mellowby::app {
class ProgramFolder;
}

namespace mellowby::platform {
class IDesktopOpener;
class IFileSystem;
class IMessageBox;
} // namespace mellowby::platform

namespace mellowby::ui {

// The Help menu's "主题(&T)": opens BriscoHelp.txt of the program folder with the desktop's
// program for text files, working in the program folder, without waiting for it. A help file
// that is missing or a folder gives the missing-file box instead. Nothing
// is reported when the desktop cannot open it.
void mnuHelpTopic_Click(const app::ProgramFolder& folder, platform::IFileSystem& fileSystem, platform::IMessageBox& box,
    platform::IDesktopOpener& opener);

} // namespace mellowby::ui
