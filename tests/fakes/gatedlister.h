#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "fakes/fakedirectorylister.h"

namespace mellowby::fakes {

// An in-memory tree whose listing of one directory waits until the test lets it go, so that the
// test can look at a walk that is known to be half way. Every wait ends after ten seconds, so
// that a test that fails to release it, or waits for a listing that never comes, fails instead
// of hanging the run.
class GatedLister final : public PathLister {
public:
    FakeDirectoryLister tree;

    void holdAt(std::string path) { m_holdAt = std::move(path); }
    bool held() const { return m_held; }
    // Until the walk is held at the directory (or ten seconds have passed).
    void waitUntilHeld();
    void release();

    std::expected<void, platform::Error> openPath(const std::string& path) override { return tree.openPath(path); }
    std::expected<void, platform::Error> listPath(
        const std::string& path, std::vector<platform::DirEntry>& out) override;

private:
    std::string m_holdAt;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<bool> m_held = false;
    bool m_released = false;
};

} // namespace mellowby::fakes
