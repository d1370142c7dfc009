#include "catalogdb/catalogfilefinder.h"

#include "catalogdb/catalogfiles.h"

namespace mellowby::catalogdb {

namespace {

std::string_view belowTop(std::string_view path)
{
    if (path.starts_with('/'))
        path.remove_prefix(1);
    return path;
}

} // namespace

CatalogFileFinder::CatalogFileFinder(const std::vector<CatalogFile>& files)
    : m_files(files)
    , m_taken(files.size(), false)
{
}

const CatalogFile* CatalogFileFinder::take(std::string_view path)
{
    path = belowTop(path);
    std::size_t index = m_next;
    if (index >= m_files.size() || m_taken[index] || belowTop(m_files[index].path) != path) {
        if (!m_indexed) {
            m_byPath.reserve(m_files.size());
            for (std::size_t i = 0; i < m_files.size(); ++i)
                m_byPath.emplace(belowTop(m_files[i].path), i);
            m_indexed = true;
        }
        const auto found = m_byPath.find(path);
        if (found == m_byPath.end() || m_taken[found->second])
            return nullptr;
        index = found->second;
    }
    m_taken[index] = true;
    m_next = index + 1;
    return &m_files[index];
}

} // namespace mellowby::catalogdb
