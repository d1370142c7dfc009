#pragma once

#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mellowby::catalogdb {

struct CatalogFile;

// Finds the files of a catalog by their paths, for a walk of the same tree that meets them in the
// catalog's order, as a tree scanned again mostly does: the file after the last one found is
// tried first, and the paths are looked up only once a file is not where the order has it.
class CatalogFileFinder {
public:
    explicit CatalogFileFinder(const std::vector<CatalogFile>& files);

    // The file at path below the scanned folder ("/a/b.txt"; the first "/" may be left out), once:
    // a file found already is not found again.
    const CatalogFile* take(std::string_view path);
    // Whether files[index] has been found.
    bool taken(std::size_t index) const { return m_taken[index]; }

private:
    const std::vector<CatalogFile>& m_files;
    std::vector<bool> m_taken;
    std::size_t m_next = 0;
    // Each path (without its first "/") at its first file; made when first needed.
    std::unordered_map<std::string_view, std::size_t> m_byPath;
    bool m_indexed = false;
};

} // namespace mellowby::catalogdb
