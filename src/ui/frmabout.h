#pragma once

#include <QDialog>

namespace mellowby::platform {
class IDesktopOpener;
}

namespace mellowby::ui {

// The About box: the program's title, version and description, and a button that opens the
// project's web address in the desktop's browser. Shown modally (exec()) and built afresh for
// every opening. The opener must outlive the box.
class frmAbout final : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(platform::IDesktopOpener& opener, QWidget* parent = nullptr);

private:
    void createControls();
    void Form_Load();
    void cmdSysInfo_Click();

    platform::IDesktopOpener& m_opener;
};

} // namespace mellowby::ui
