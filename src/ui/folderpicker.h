#pragma once

#include <QString>

class QWidget;

namespace mellowby::ui {

// The desktop's folder dialog, limited to directories; tests replace it.
class IFolderPicker {
public:
    virtual ~IFolderPicker() = default;
    // The chosen folder's path as the dialog gives it, or an empty text when cancelled.
    virtual QString pickFolder(QWidget* owner, const QString& title) = 0;
};

} // namespace mellowby::ui
