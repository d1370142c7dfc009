#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mellowby::catalogdb {

// The folders the rows of the entries table lie in, followed row by row in document order (as
// the scan writes them and the reader reads them back): what a file's path below the Disk element
// is made of.
class FolderTrail {
public:
    // The row just written or read. A row's parent is the last folder opened that is still open;
    // a Disk or Folder row is then the folder of the rows after it.
    void follow(std::int64_t id, std::optional<std::int64_t> parent, std::int64_t kind, std::string_view name);
    // Where the last row followed lies: each folder's name from the Disk down, followed by "/"
    // ("a/b/"); empty at the top.
    const std::string& folderPath() const { return m_path; }
    // The path of a file named name in the folder of the last row, as a catalog's files are named
    // below the scanned folder: each name after a "/" ("/a/b/name").
    std::string filePath(std::string_view name) const;

private:
    // Each open folder with the length of its path in m_path, the Disk element first.
    std::vector<std::pair<std::int64_t, std::size_t>> m_folders;
    std::string m_path;
};

} // namespace mellowby::catalogdb
