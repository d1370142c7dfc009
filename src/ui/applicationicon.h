#pragma once

#include <QIcon>

namespace mellowby::ui {

// The program's icon (a disc under a magnifying glass) at 16 to 256 pixels, for the windows'
// title bars and the pictures of the splash screen and the About box.
QIcon applicationIcon();

} // namespace mellowby::ui
