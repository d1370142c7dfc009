#include "cli/cliconsole.h"

#include <cstdio>
#include <string>

#include <unistd.h>

#include "digest/digestprogress.h"

namespace mellowby::cli {

namespace {

std::string withoutCarriageReturns(std::string text)
{
    std::erase(text, '\r');
    return text;
}

} // namespace

platform::MessageAnswer ConsoleMessageBox::show(const platform::MessageRequest& request)
{
    // The only question a scan asks is whether to overwrite; --force has answered it already.
    if (request.buttons != platform::MessageButtons::YesNo) {
        // Standard error is the only place to report to, so a failed write goes unreported.
        (void)std::fprintf(stderr, "%s: %s\n", request.title.c_str(), withoutCarriageReturns(request.text).c_str());
        return platform::MessageAnswer::Ok;
    }
    return m_answerYes ? platform::MessageAnswer::Yes : platform::MessageAnswer::No;
}

std::optional<std::string> ConsoleMessageBox::prompt(const std::string&, const std::string&, const std::string&)
{
    return std::nullopt;
}

ConsoleProgress::ConsoleProgress()
    : m_start(std::chrono::steady_clock::now())
    , m_lastPrint(m_start)
    , m_terminal(::isatty(STDERR_FILENO) == 1)
{
}

void ConsoleProgress::onProgress(const scan::ScanProgress& progress)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPrint < std::chrono::milliseconds(progress.digests ? 250 : 500))
        return;
    m_lastPrint = now;
    if (progress.digests) {
        // The line of the digests is redrawn in place, which only a terminal shows as meant.
        if (!m_terminal)
            return;
        const auto entries = progress.directories + progress.files;
        (void)std::fprintf(stderr, "\r已扫描 %llu 项；%s\033[K", static_cast<unsigned long long>(entries),
            digest::progressText(*progress.digests).c_str());
        m_printed = true;
        return;
    }
    const double seconds = secondsSinceStart();
    const auto entries = progress.directories + progress.files;
    (void)std::fprintf(stderr, m_terminal ? "\r已扫描 %llu 项（%.0f 项/秒）\033[K" : "已扫描 %llu 项（%.0f 项/秒）\n",
        static_cast<unsigned long long>(entries), seconds > 0 ? static_cast<double>(entries) / seconds : 0.0);
    m_printed = true;
}

void ConsoleProgress::onReading(const digest::DigestProgress& progress)
{
    const auto now = std::chrono::steady_clock::now();
    // Redrawn in place as the digests of a scan are, on a terminal only.
    if (!m_terminal || now - m_lastPrint < std::chrono::milliseconds(250))
        return;
    m_lastPrint = now;
    (void)std::fprintf(stderr, "\r%s\033[K", digest::progressText(progress).c_str());
    m_printed = true;
}

void ConsoleProgress::finish()
{
    if (m_printed && m_terminal)
        (void)std::fputc('\n', stderr);
}

double ConsoleProgress::secondsSinceStart() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

} // namespace mellowby::cli
