#include "ui/qtmessagebox.h"

#include <optional>

#include <QInputDialog>
#include <QMessageBox>

#include "ui/busycursor.h"

namespace mellowby::ui {

namespace {

QMessageBox::Icon iconOf(platform::MessageIcon icon)
{
    switch (icon) {
    case platform::MessageIcon::Information:
        return QMessageBox::Information;
    case platform::MessageIcon::Warning:
        return QMessageBox::Warning;
    case platform::MessageIcon::Question:
        return QMessageBox::Question;
    case platform::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtMessageBox::QtMessageBox(QWidget* parent)
    : m_parent(parent)
{
}

platform::MessageAnswer QtMessageBox::show(const platform::MessageRequest& request)
{
    const bool yesNo = request.buttons == platform::MessageButtons::YesNo;
    QMessageBox box(iconOf(request.icon), QString::fromStdString(request.title), QString::fromStdString(request.text),
        yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, m_parent.data());
    // Messages quote file and catalog names, which must never be taken for markup.
    box.setTextFormat(Qt::PlainText);
    if (yesNo)
        box.setDefaultButton(QMessageBox::Yes);
    const ArrowCursorWhileBusy arrow;
    const int answer = box.exec();
    if (!yesNo)
        return platform::MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? platform::MessageAnswer::Yes : platform::MessageAnswer::No;
}

std::optional<std::string> QtMessageBox::prompt(
    const std::string& text, const std::string& title, const std::string& defaultText)
{
    const ArrowCursorWhileBusy arrow;
    bool accepted = false;
    const QString typed = QInputDialog::getText(m_parent.data(), QString::fromStdString(title),
        QString::fromStdString(text), QLineEdit::Normal, QString::fromStdString(defaultText), &accepted);
    if (!accepted)
        return std::nullopt;
    return typed.toStdString();
}

} // namespace mellowby::ui
