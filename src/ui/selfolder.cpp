#include "ui/selfolder.h"

#include <QFileDialog>

#include "platform/paths.h"

namespace mellowby::ui {

QString QtFolderPicker::pickFolder(QWidget* owner, const QString& title)
{
    return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

QString getSelFolder(IFolderPicker& picker, QWidget* owner, const QString& title)
{
    QString folder;
    try {
        folder = picker.pickFolder(owner, title);
    } catch (...) {
        return {};
    }
    const QChar separator = QLatin1Char(platform::kPathSeparator);
    while (folder.size() > 1 && folder.endsWith(separator))
        folder.chop(1);
    return folder;
}

} // namespace mellowby::ui
