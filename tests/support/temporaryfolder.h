#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mellowby::tests {

// A fresh folder under the system's temporary folder (or under base), removed with everything
// in it. The one place tests and benchmarks get a folder of their own: nothing they write
// reaches the home folder or another run's files. Its name starts with prefix, so that one left
// behind by a run that was killed tells whose it was.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::filesystem::path& base = std::filesystem::temp_directory_path(),
        std::string_view prefix = "mellowby-test")
    {
        std::string pattern = (base / (std::string(prefix) + "-XXXXXX")).native();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed under " + base.native());
        m_path = pattern;
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        // A test may have taken permissions away; they come back so that everything goes.
        std::filesystem::permissions(
            m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
        for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored))
                std::filesystem::permissions(
                    it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(m_path, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(std::string_view name) const { return m_path + "/" + std::string(name); }

private:
    std::string m_path;
};

// Writes bytes as the whole file, creating missing parent folders; throws when it cannot.
inline void writeFile(const std::string& path, std::string_view bytes)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// The names of what a folder holds, sorted: what a test expects to find in Data.
inline std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::ranges::sort(names);
    return names;
}

} // namespace mellowby::tests
