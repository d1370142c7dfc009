#include "catalogdb/foldertrail.h"

#include "catalogdb/databaseschema.h"

namespace mellowby::catalogdb {

void FolderTrail::follow(std::int64_t id, std::optional<std::int64_t> parent, std::int64_t kind, std::string_view name)
{
    while (!m_folders.empty() && (!parent || m_folders.back().first != *parent))
        m_folders.pop_back();
    m_path.resize(m_folders.empty() ? 0 : m_folders.back().second);
    if (kind == static_cast<std::int64_t>(schema::Kind::DiscRoot)) {
        m_folders.emplace_back(id, 0);
    } else if (kind == static_cast<std::int64_t>(schema::Kind::Folder)) {
        m_path.append(name).push_back('/');
        m_folders.emplace_back(id, m_path.size());
    }
}

std::string FolderTrail::filePath(std::string_view name) const
{
    std::string path;
    path.reserve(1 + m_path.size() + name.size());
    path.push_back('/');
    path.append(m_path).append(name);
    return path;
}

} // namespace mellowby::catalogdb
