#pragma once

#include <QString>

class QWidget;

namespace mellowby::ui {

// The folder dialog, which takes a folder or a disc image file; tests replace it.
class IFolderPicker {
public:
    virtual ~IFolderPicker() = default;
    // The chosen folder's (or image file's) path as the dialog gives it, or an empty text when
    // cancelled.
    virtual QString pickFolder(QWidget* owner, const QString& title) = 0;
};

} // namespace mellowby::ui
