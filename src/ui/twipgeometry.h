#pragma once

#include <QRect>

namespace mellowby::ui {

// Some windows were designed in twips: at 96 dots per inch a pixel is 15 twips. Each value is
// rounded to the nearest pixel on its own, so a control keeps its designed size wherever it sits.
constexpr int twipsToPixels(int twips)
{
    return (twips + 7) / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return { twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height) };
}

} // namespace mellowby::ui
