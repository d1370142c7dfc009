#pragma once

#include <QString>

#include "ui/folderpicker.h"

class QWidget;

namespace mellowby::ui {

// Qt's folder dialog, which also takes a disc image file to be scanned as the disc it holds.
class QtFolderPicker final : public IFolderPicker {
public:
    QString pickFolder(QWidget* owner, const QString& title) override;
};

// Lets the user pick a folder (or a disc image file) in picker's dialog, modal to owner, with
// title above the folders. The result is the full path without a trailing separator (the root "/"
// keeps its own), or an empty text when the user cancelled or the dialog failed.
QString getSelFolder(IFolderPicker& picker, QWidget* owner, const QString& title);

} // namespace mellowby::ui
