#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temporaryfolder.h"

namespace mellowby::tests {

// Points HOME and the XDG base folders at a temporary folder for as long as it lives, so that
// whatever the code under test keeps per user (the trash, the names index cache, Qt's settings)
// lands there and never in the real home folder. Every test program starts with one.
class IsolatedHome {
public:
    IsolatedHome()
    {
        for (const char* folder : { "config", "data", "cache", "state", "runtime" })
            std::filesystem::create_directory(m_home / folder);
        std::filesystem::permissions(m_home / "runtime", std::filesystem::perms::owner_all);
        ::setenv("HOME", m_home.path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_home / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (m_home / "data").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (m_home / "cache").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (m_home / "state").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (m_home / "runtime").c_str(), 1);
    }
    IsolatedHome(const IsolatedHome&) = delete;
    IsolatedHome& operator=(const IsolatedHome&) = delete;

    const std::string& path() const { return m_home.path(); }

private:
    TemporaryFolder m_home;
};

} // namespace mellowby::tests
