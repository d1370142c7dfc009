#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/temporaryfolder.h"

namespace mellowby::tests {

// A Data folder two levels down a temporary folder of the test's own (<own>/owner/Data), for tests
// that write through names meant to be refused: should the refusal fail, a name that escapes Data
// ("../x", "../../x") still lands inside the test's own folder, never among the files of other
// tests, and strayFiles() names it.
class NestedDataFolder {
public:
    NestedDataFolder() { std::filesystem::create_directories(m_path); }

    const std::string& path() const { return m_path; }
    std::string operator/(std::string_view name) const { return m_path + "/" + std::string(name); }

    // The files of the test's own folder that lie outside Data, by their paths below it.
    std::vector<std::string> strayFiles() const
    {
        std::vector<std::string> stray;
        for (auto it = std::filesystem::recursive_directory_iterator(m_own.path());
             it != std::filesystem::recursive_directory_iterator(); ++it) {
            if (it->path() == m_path)
                it.disable_recursion_pending();
            else if (!it->is_directory())
                stray.push_back(std::filesystem::relative(it->path(), m_own.path()).string());
        }
        std::ranges::sort(stray);
        return stray;
    }

private:
    TemporaryFolder m_own;
    std::string m_path = m_own / "owner/Data";
};

} // namespace mellowby::tests
