#include "archive/foldertree.h"

#include <algorithm>

#include "archive/membernames.h"

namespace mellowby::archive {

FolderTree::FolderTree(std::vector<TreeFolder>& folders)
    : m_folders(folders)
{
    if (m_folders.empty())
        m_folders.push_back({});
}

std::uint32_t FolderTree::child(std::uint32_t parent, std::string_view name)
{
    m_key.assign(reinterpret_cast<const char*>(&parent), sizeof parent);
    m_key += name;
    const auto [found, added] = m_children.try_emplace(m_key, static_cast<std::uint32_t>(m_folders.size()));
    if (added)
        m_folders.push_back({ std::string(name), parent, std::nullopt });
    return found->second;
}

void FolderTree::place(Member& member, std::size_t position)
{
    const auto components = treeComponents(member.name);
    std::uint32_t folder = kTopFolder;
    const std::size_t folders
        = member.isDirectory ? components.size() : components.size() - std::min<std::size_t>(components.size(), 1);
    for (std::size_t i = 0; i < folders; ++i)
        folder = child(folder, components[i]);

    if (!member.isDirectory) {
        member.folder = folder;
        member.leaf = components.empty() ? member.name : std::string(components.back());
        return;
    }
    member.self = folder;
    member.folder = m_folders[folder].parent;
    member.leaf = m_folders[folder].name;
    if (!m_folders[folder].entry)
        m_folders[folder].entry = position;
}

} // namespace mellowby::archive
