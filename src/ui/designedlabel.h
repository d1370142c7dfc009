#pragma once

#include <algorithm>

#include <QLabel>

namespace mellowby::ui {

// A label at the place a window was designed with, its text at the top left as in that design.
// The places were measured for other fonts: a text that needs more height than designed makes
// the label grow downwards rather than lose its last line.
inline QLabel* addDesignedLabel(
    QWidget* parent, const QString& name, const QString& text, const QRect& designed, bool wordWrap = false)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(wordWrap);
    label->setGeometry(designed);
    return label;
}

// Called once the label has its final text and font.
inline void growToFitText(QLabel* label)
{
    const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
    label->resize(label->width(), std::max(label->height(), needed));
}

} // namespace mellowby::ui
