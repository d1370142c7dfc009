#pragma once

namespace mellowby::app {

// The product title: the main window's caption and the title of boxes that have none of their own.
inline constexpr char kProgramTitle[] = "Mellowby";

} // namespace mellowby::app
