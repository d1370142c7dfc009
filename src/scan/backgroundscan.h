#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <expected>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/settings.h"
#include "scan/scanner.h"

namespace mellowby::scan {

// How often a window that shows a walk's progress asks for it: often enough to look live, rarely
// enough that asking costs the walk nothing measurable.
inline constexpr std::chrono::milliseconds kProgressPollInterval { 200 };

// Writes a catalog on a thread of its own, so that the window that started it stays responsive
// and can stop it. The window polls progress() and finished() from its own thread whenever it
// likes; the walk publishes its counts once per directory with atomics and the folder name under
// a mutex taken once per directory, so a poll never slows the walk per file.
//
// Whatever the context refers to (lister, file system, box, dates, volumes) must outlive this
// object and be safe to use from the walk's thread; the message box in particular must be one that
// can be called off the window's thread. Destroying the object stops the walk and waits for its
// thread.
class BackgroundScan final : private IScanObserver {
public:
    using Result = std::expected<ScanResult, ScanFailure>;

    // Starts writing the catalog `name` of the tree at path at once. The settings are copied
    // here, so the walk applies the filter as it stood when it began; the context's observer is
    // replaced by this object. onFinished, when given, is called on the walk's thread once the
    // result is in place, so that a window can take it at once instead of at its next poll.
    BackgroundScan(
        const ScanContext& context, std::string path, std::string name, std::function<void()> onFinished = {});
    ~BackgroundScan() override;
    BackgroundScan(const BackgroundScan&) = delete;
    BackgroundScan& operator=(const BackgroundScan&) = delete;

    // The counts and the folder being walked, as of the last directory entered, and how far the
    // digests are when the scan makes them; the totals of the catalog once a walk has completed.
    ScanProgress progress() const;

    // Asks the walk to end at its next check (every directory, and every 1024 entries within
    // one); the old catalog then stays as it was.
    void requestStop();
    bool stopRequested() override;

    bool finished() const;
    // Waits at most timeout for the walk to end; true when it has.
    bool waitFor(std::chrono::milliseconds timeout) const;
    // The outcome; only once finished() is true.
    const Result& result() const;

private:
    void onProgress(const ScanProgress& progress) override;
    void run();

    app::Settings m_settings;
    ScanContext m_context;
    const std::string m_path;
    const std::string m_name;
    const std::function<void()> m_onFinished;

    std::atomic<std::uint64_t> m_directories = 0;
    std::atomic<std::uint64_t> m_files = 0;
    std::atomic<std::uint64_t> m_bytes = 0;
    mutable std::mutex m_folderMutex;
    std::string m_currentDirectory;
    std::optional<digest::DigestProgress> m_digests; // under m_folderMutex too

    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_finished = false;
    mutable std::mutex m_doneMutex;
    mutable std::condition_variable m_done;
    std::optional<Result> m_result;

    // Last, so that everything the walk uses exists before it starts.
    std::thread m_thread;
};

} // namespace mellowby::scan
