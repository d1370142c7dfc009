#include "ui/arrangecontrols.h"

namespace mellowby::ui {

namespace {

constexpr int kMargin = 10;

void setWidth(ControlRect& rect, int width)
{
    if (width >= 0)
        rect.width = width;
}

void setHeight(ControlRect& rect, int height)
{
    if (height >= 0)
        rect.height = height;
}

} // namespace

MainControls arrangeControls(int clientWidth, int clientHeight, bool findPanelShown, MainControls current)
{
    MainControls next = current;
    ControlRect& tree = next.treeDisk;
    if (findPanelShown) {
        next.frameFind.top = kMargin;
        next.frameFind.left = kMargin;
        tree.left = kMargin;
        tree.top = next.frameFind.top + next.frameFind.height + kMargin;
        // Below the panel the tree runs down to the bottom edge, without a bottom margin.
        setHeight(tree, clientHeight - tree.top);
    } else {
        tree.left = kMargin;
        tree.top = kMargin;
        setHeight(tree, clientHeight - 2 * kMargin);
    }

    ControlRect& list = next.listVDir;
    list.left = tree.width + tree.left + kMargin;
    setWidth(list, (clientWidth - 2 * kMargin) - tree.width - kMargin);
    setHeight(list, clientHeight - 2 * kMargin);
    list.top = kMargin;
    return next;
}

} // namespace mellowby::ui
