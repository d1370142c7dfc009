#pragma once

#include <chrono>

#include "platform/messagebox.h"
#include "scan/scanner.h"

namespace mellowby::cli {

// Boxes become lines on standard error; the overwrite question is answered by --force.
class ConsoleMessageBox final : public platform::IMessageBox {
public:
    explicit ConsoleMessageBox(bool answerYes)
        : m_answerYes(answerYes)
    {
    }

    platform::MessageAnswer show(const platform::MessageRequest& request) override;
    std::optional<std::string> prompt(
        const std::string& text, const std::string& title, const std::string& defaultText) override;

private:
    bool m_answerYes;
};

// A progress line on standard error, a few times a second at most.
class ConsoleProgress final : public scan::IScanObserver {
public:
    ConsoleProgress();

    void onProgress(const scan::ScanProgress& progress) override;
    bool stopRequested() override { return false; }
    // How far the reading of a verification is.
    void onReading(const digest::DigestProgress& progress);

    // Ends the progress line.
    void finish();
    double secondsSinceStart() const;

private:
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastPrint;
    bool m_printed = false;
    bool m_terminal = false;
};

} // namespace mellowby::cli
