#pragma once

// Header-only, so that the library of fakes stays free of Qt: only the tests of the windows need it.

#include <vector>

#include <QString>

#include "ui/folderpicker.h"

namespace mellowby::fakes {

// Answers the folder dialog from a script and records what it was asked: by which window, with
// which title.
class ScriptedFolderPicker final : public ui::IFolderPicker {
public:
    QString pickFolder(QWidget* owner, const QString& title) override
    {
        owners.push_back(owner);
        titles.push_back(title);
        return answer;
    }

    QString answer;
    std::vector<QWidget*> owners;
    std::vector<QString> titles;
};

} // namespace mellowby::fakes
