#pragma once

#include <string>
#include <string_view>

namespace mellowby::platform {
class IFileSystem;
}

namespace mellowby::app {

// The existing entry of dir whose name matches name without regard to letter case (an exact
// match wins), or dir/name when there is none. Catalogs and settings are often carried over from
// systems that ignore case, so every name the program looks up in its folders is found this way.
std::string resolveIgnoringCase(platform::IFileSystem& fileSystem, const std::string& dir, std::string_view name);

// The folder that holds the program: the base of every path the program keeps.
class ProgramFolder {
public:
    ProgramFolder(std::string path, platform::IFileSystem& fileSystem);

    const std::string& path() const { return m_path; }
    platform::IFileSystem& fileSystem() const { return m_fileSystem; }

    // An entry of the program folder, as it exists on disk (see resolveIgnoringCase).
    std::string resolve(std::string_view name) const;
    // <program folder>/Data, as it exists on disk.
    std::string dataDir() const { return resolve("Data"); }
    // <program folder>/option.ini, as it exists on disk.
    std::string iniPath() const { return resolve("option.ini"); }

private:
    std::string m_path;
    platform::IFileSystem& m_fileSystem;
};

} // namespace mellowby::app
