#pragma once

#include <string>
#include <string_view>

namespace mellowby::app {

// The folder that holds the program: the base of every path the program keeps. Names inside it
// are matched without regard to letter case (an exact match wins, else a case-insensitive one),
// because catalogs and settings are often carried over from systems that ignore case.
class ProgramFolder {
public:
    explicit ProgramFolder(std::string path);

    const std::string& path() const { return m_path; }

    // The existing entry of dir whose name matches name, or dir/name when there is none.
    static std::string resolveIn(const std::string& dir, std::string_view name);

    // <program folder>/Data, as it exists on disk.
    std::string dataDir() const;
    // <program folder>/option.ini, as it exists on disk.
    std::string iniPath() const;
    // A file of the Data folder, as it exists on disk.
    std::string dataFile(std::string_view name) const;

private:
    std::string m_path;
};

} // namespace mellowby::app
