#pragma once

namespace mellowby::ui {

// A control's place in its parent, in pixels.
struct ControlRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const ControlRect&) const = default;
};

// The controls of the main window that follow its size.
struct MainControls {
    ControlRect frameFind;
    ControlRect treeDisk;
    ControlRect listVDir;

    bool operator==(const MainControls&) const = default;
};

// Where the window's designer put them, in a client area of kDesignClientWidth x kDesignClientHeight.
inline constexpr int kDesignClientWidth = 630;
inline constexpr int kDesignClientHeight = 434;
inline constexpr MainControls kDesignControls {
    { 8, 8, 201, 129 },
    { 8, 152, 201, 249 },
    { 216, 8, 369, 393 },
};

// ArrangeControls as plain arithmetic: the tree keeps its width and fills the height (below the
// find panel while that is shown), the list takes the rest. A computed width or height below 0
// leaves that property as it was, as a control refuses it when the window is very small. The
// caller skips this while the window is minimised.
MainControls arrangeControls(int clientWidth, int clientHeight, bool findPanelShown, MainControls current);

} // namespace mellowby::ui
