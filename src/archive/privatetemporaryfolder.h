#pragma once

#include <expected>
#include <string>

#include "platform/error.h"

namespace mellowby::archive {

// A folder only this user can enter (mode 0700), for the members taken out of archives to be
// opened: made under $XDG_RUNTIME_DIR (private to the user and emptied at logout) or else the
// system's temporary folder, and removed with everything in it when its owner goes, which the
// program keeps for as long as it runs. Its name is a temporary name of platform's, which tells
// the process that made it: whatever an earlier run left behind (a crash, a kill) is removed at
// the next start, but only the folders of this user whose process has ended.
class PrivateTemporaryFolder {
public:
    // Removes the leftovers of earlier runs, then makes the folder. base: where to make it; the
    // runtime or temporary folder when empty.
    static std::expected<PrivateTemporaryFolder, platform::Error> create(const std::string& base = {});

    PrivateTemporaryFolder(PrivateTemporaryFolder&& other) noexcept;
    PrivateTemporaryFolder& operator=(PrivateTemporaryFolder&& other) noexcept;
    PrivateTemporaryFolder(const PrivateTemporaryFolder&) = delete;
    PrivateTemporaryFolder& operator=(const PrivateTemporaryFolder&) = delete;
    ~PrivateTemporaryFolder();

    const std::string& path() const { return m_path; }

    // The folder the folders are made in when no base is given.
    static std::string defaultBase();
    // Removes the folders under base that earlier runs of this user left and whose process is gone.
    static void removeLeftovers(const std::string& base);

private:
    explicit PrivateTemporaryFolder(std::string path);

    std::string m_path;
};

} // namespace mellowby::archive
