#pragma once

#include "verify/catalogverifier.h"

#include <atomic>
#include <expected>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QDialog>

#include "digest/digestprogress.h"

class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace mellowby::platform {
class IDesktopOpener;
class IMessageBox;
} // namespace mellowby::platform

namespace mellowby::ui {

class VerdictModel;

// Verifies the current catalog's disc: how far it is (files, bytes, speed, time left), a button to
// stop, and a row for every file not found as the catalog has it, which opens as a file-list row
// does. The verification runs on a thread of its own so that the window stays responsive; closing
// the dialog stops it first.
class frmVerify final : public QDialog {
    Q_OBJECT

public:
    // Everything services refers to outlives the dialog and is safe to use from another thread.
    frmVerify(const verify::VerifyServices& services, std::string catalogName, platform::IMessageBox& box,
        platform::IDesktopOpener& opener, QWidget* parent = nullptr);
    ~frmVerify() override;
    frmVerify(const frmVerify&) = delete;
    frmVerify& operator=(const frmVerify&) = delete;

    // Whether the verification has ended (completed, failed or stopped) and its outcome is shown.
    bool finished() const { return m_shownFinished; }

protected:
    void reject() override;

private:
    void createControls();
    void start();
    void showProgress();
    void showOutcome();
    void cmdStop_Click();
    void rowOpened(const QModelIndex& index);

    const verify::VerifyServices m_services;
    const std::string m_catalogName;
    platform::IMessageBox& m_box;
    platform::IDesktopOpener& m_opener;

    // Shared with the verification's threads.
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_done = false;
    std::mutex m_mutex;
    std::vector<verify::VerdictRow> m_pending;
    std::optional<digest::DigestProgress> m_progress;
    std::optional<std::expected<verify::VerifyOutcome, verify::VerifyProblem>> m_outcome;
    std::thread m_worker;

    bool m_shownFinished = false;
    // Owned by the dialog through their Qt parents.
    VerdictModel* m_model = nullptr;
    QTableView* m_rows = nullptr;
    QLabel* m_lblProgress = nullptr;
    QPushButton* m_cmdStop = nullptr;
    QPushButton* m_cmdClose = nullptr;
    QTimer* m_timer = nullptr;
};

} // namespace mellowby::ui
