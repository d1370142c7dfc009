#include "ui/selfolder.h"

#include <QFileDialog>
#include <QFileInfo>

#include "platform/paths.h"

namespace mellowby::ui {

namespace {

// Qt's own folder dialog showing files too: a folder is chosen as in any folder dialog, and a
// file (a disc image, scanned as the disc it holds) by choosing it, which a folder dialog refuses.
class FolderOrImageDialog final : public QFileDialog {
public:
    FolderOrImageDialog(QWidget* owner, const QString& title)
        : QFileDialog(owner, title)
    {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::DontUseNativeDialog);
        setNameFilters({ QStringLiteral("光盘映像 (*.iso *.ISO)"), QStringLiteral("所有文件 (*)") });
    }

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty() && QFileInfo(chosen.first()).isFile()) {
            m_file = chosen.first();
            done(QDialog::Accepted);
            return;
        }
        QFileDialog::accept();
    }

    QString chosen() const
    {
        if (!m_file.isEmpty())
            return m_file;
        const QStringList folders = selectedFiles();
        return folders.isEmpty() ? QString() : folders.first();
    }

private:
    QString m_file;
};

} // namespace

QString QtFolderPicker::pickFolder(QWidget* owner, const QString& title)
{
    FolderOrImageDialog dialog(owner, title);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.chosen();
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
