#include "ui/qtdesktopopener.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace mellowby::ui {

std::expected<void, platform::Error> QtDesktopOpener::open(
    const std::string& target, const std::string& workingDirectory)
{
    // The target travels as one argument, never through a shell, so blanks, quotes and "$(...)"
    // in a file name stay part of the name. xdg-open would take a leading "-" for an option of
    // its own; "./" keeps such a relative name a file name.
    QString argument = QString::fromStdString(target);
    if (argument.startsWith(u'-'))
        argument.prepend(QStringLiteral("./"));
    if (QProcess::startDetached(
            QStringLiteral("xdg-open"), QStringList { argument }, QString::fromStdString(workingDirectory)))
        return {};
    return std::unexpected(platform::Error { 0, "无法启动 xdg-open 打开“" + target + "”。" });
}

} // namespace mellowby::ui
