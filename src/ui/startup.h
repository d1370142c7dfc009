#pragma once

#include <memory>

class QWidget;

namespace mellowby::ui {

class frmMain;
struct ProgramContext;

// The settings, the Data folder and the drives, in this order, before any window opens. A
// settings file that cannot be read gives its box, the "Main" box and the default lists; a Data
// folder that cannot be created gives the "Mellowby" box, and start-up goes on.
void prepareProgramState(ProgramContext& context);

// The program's start: the program state, the splash, then the main window, loaded with every
// catalog and shown (its loading closes the splash).
std::unique_ptr<frmMain> Main(ProgramContext& context);

} // namespace mellowby::ui
