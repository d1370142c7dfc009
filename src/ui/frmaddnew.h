#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QDialog>

#include "app/settings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace mellowby::browse {
class CatalogBrowser;
}

namespace mellowby::ui {

struct ProgramContext;

// The generation dialog: the user picks a drive or a folder, the dialog writes its catalog on a
// worker thread while it shows the progress and offers to stop, and hands the new catalog to the
// main window's tree. It also edits the file-type filter kept in option.ini and in memory.
// context and browser must outlive it.
class frmAddNew final : public QDialog {
    Q_OBJECT

public:
    frmAddNew(ProgramContext& context, browse::CatalogBrowser& browser, QWidget* parent = nullptr);
    ~frmAddNew() override;
    frmAddNew(const frmAddNew&) = delete;
    frmAddNew& operator=(const frmAddNew&) = delete;

    // Whether a catalog is being written right now.
    bool generating() const { return m_generation != nullptr; }

protected:
    // Every way of closing the dialog passes here: a walk under way is stopped first.
    void done(int result) override;

private:
    struct Generation;

    void createControls();
    void connectHandlers();

    void Form_Load();
    void fillDiskList();
    void chkIfUseOption_Click();
    void chkYesFile_Click();
    void scanExtra_Click(app::ScanExtra extra, bool wanted);
    void txtNoFile_Change();
    void txtYesFile_Change();
    void cmdSelDir_Click();
    void cmdSaveOption_Click();
    void cmdGenXml_Click();
    void cmdClose_Click();

    // What to scan as the drive box gives it; nothing when there is none.
    struct Target {
        std::string path;
        bool opticalDrive = false;
    };
    std::optional<Target> targetPath() const;
    void startGeneration(const std::string& path, const std::string& name);
    void showProgress();
    // Takes the outcome of the walk, which must have ended, and shows it.
    void finishGeneration();
    // Stops a walk under way, waits for it and shows its outcome.
    void stopGeneration();
    void setGenerating(bool generating);

    ProgramContext& m_context;
    browse::CatalogBrowser& m_browser;
    std::unique_ptr<Generation> m_generation;
    bool m_controlsLocked = false;
    bool m_saveWasEnabled = false;

    // Owned by the dialog through their Qt parents.
    QLabel* m_lblDisk = nullptr;
    QComboBox* m_cmbDisk = nullptr;
    QPushButton* m_cmdSelDir = nullptr;
    QPushButton* m_cmdGenXml = nullptr;
    QGroupBox* m_Frame1 = nullptr;
    QCheckBox* m_chkIfUseOption = nullptr;
    QLabel* m_Label1 = nullptr;
    QLineEdit* m_txtNoFile = nullptr;
    QCheckBox* m_chkYesFile = nullptr;
    QLineEdit* m_txtYesFile = nullptr;
    QLabel* m_lblShow = nullptr;
    QCheckBox* m_chkChecksums = nullptr;
    QCheckBox* m_chkArchives = nullptr;
    QPushButton* m_cmdSaveOption = nullptr;
    QPushButton* m_cmdClose = nullptr;
    QTimer* m_progressTimer = nullptr;
};

} // namespace mellowby::ui
