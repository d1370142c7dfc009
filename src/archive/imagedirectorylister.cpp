#include "archive/imagedirectorylister.h"

#include <cerrno>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/membernames.h"

namespace mellowby::archive {

// The entries of every folder, made once from the listing; the folders opened share it.
struct ImageDirectoryLister::Tree {
    std::vector<std::vector<platform::DirEntry>> entries; // by folder number
    std::vector<std::uint32_t> parents;
    std::unordered_map<std::string, std::uint32_t> children; // parent's number, NUL, name

    static std::string key(std::uint32_t parent, std::string_view name)
    {
        std::string text = std::to_string(parent);
        text += '\0';
        text += name;
        return text;
    }
};

namespace {

using Tree = ImageDirectoryLister::Tree;

platform::FileId folderId(std::uint32_t folder)
{
    return { ImageDirectoryLister::kImageDevice, std::uint64_t { folder } + 1 };
}

std::optional<std::int64_t> nanosecondsOf(const std::optional<MemberTime>& time)
{
    if (!time)
        return std::nullopt;
    return time->seconds * platform::kNanosecondsPerSecond + time->nanoseconds;
}

class ImageDirectory final : public platform::IDirectory {
public:
    ImageDirectory(std::shared_ptr<const Tree> tree, std::uint32_t folder)
        : m_tree(std::move(tree))
        , m_folder(folder)
    {
    }

    platform::FileId id() const override { return folderId(m_folder); }

    std::expected<void, platform::Error> list(std::vector<platform::DirEntry>& out) override
    {
        const auto& entries = m_tree->entries[m_folder];
        out.insert(out.end(), entries.begin(), entries.end());
        return {};
    }

    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> openChild(const std::string& name) override
    {
        const auto found = m_tree->children.find(Tree::key(m_folder, name));
        if (found == m_tree->children.end())
            return std::unexpected(platform::errorFromErrno(ENOTDIR));
        return std::make_unique<ImageDirectory>(m_tree, found->second);
    }

    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> openParent() override
    {
        if (m_folder == kTopFolder)
            return std::unexpected(platform::errorFromErrno(ENOENT));
        return std::make_unique<ImageDirectory>(m_tree, m_tree->parents[m_folder]);
    }

private:
    std::shared_ptr<const Tree> m_tree;
    std::uint32_t m_folder;
};

// Puts each folder in its parent's entries the first time a member inside it comes, the folders
// above it first.
class TreeBuilder {
public:
    TreeBuilder(const ArchiveListing& listing, Tree& tree)
        : m_listing(listing)
        , m_tree(tree)
        , m_shown(listing.folders.size(), false)
    {
        m_tree.entries.resize(listing.folders.size());
        m_shown[kTopFolder] = true;
        for (std::uint32_t folder = 0; folder < listing.folders.size(); ++folder) {
            m_tree.parents.push_back(listing.folders[folder].parent);
            if (folder != kTopFolder)
                m_tree.children.emplace(
                    Tree::key(listing.folders[folder].parent, listing.folders[folder].name), folder);
        }
    }

    void add(const Member& member, std::size_t position)
    {
        if (member.isDirectory) {
            show(member.self);
            return;
        }
        show(member.folder);
        if (treeComponents(member.name).empty())
            return;
        platform::DirEntry entry;
        entry.name = member.leaf;
        entry.size = member.size.value_or(0);
        entry.modifiedNs = nanosecondsOf(member.modified);
        entry.kind = platform::EntryKind::File;
        entry.id = { ImageDirectoryLister::kImageDevice, m_listing.folders.size() + position + 1 };
        m_tree.entries[member.folder].push_back(std::move(entry));
    }

private:
    void show(std::uint32_t folder)
    {
        m_chain.clear();
        while (!m_shown[folder]) {
            m_chain.push_back(folder);
            folder = m_listing.folders[folder].parent;
        }
        for (auto it = m_chain.rbegin(); it != m_chain.rend(); ++it) {
            const TreeFolder& shown = m_listing.folders[*it];
            m_shown[*it] = true;
            platform::DirEntry entry;
            entry.name = shown.name;
            entry.isDirectory = true;
            entry.kind = platform::EntryKind::Directory;
            entry.id = folderId(*it);
            if (shown.entry) {
                const Member& own = m_listing.members[*shown.entry];
                entry.size = own.size.value_or(0);
                entry.modifiedNs = nanosecondsOf(own.modified);
            }
            m_tree.entries[shown.parent].push_back(std::move(entry));
        }
    }

    const ArchiveListing& m_listing;
    Tree& m_tree;
    std::vector<bool> m_shown;
    std::vector<std::uint32_t> m_chain;
};

} // namespace

ImageDirectoryLister::ImageDirectoryLister(const ArchiveListing& listing)
{
    auto tree = std::make_shared<Tree>();
    TreeBuilder builder(listing, *tree);
    for (std::size_t position = 0; position < listing.members.size(); ++position)
        builder.add(listing.members[position], position);
    m_tree = std::move(tree);
}

ImageDirectoryLister::~ImageDirectoryLister() = default;

std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> ImageDirectoryLister::open(
    const std::string& path)
{
    std::uint32_t folder = kTopFolder;
    for (const std::string_view name : treeComponents(path)) {
        const auto found = m_tree->children.find(Tree::key(folder, name));
        if (found == m_tree->children.end())
            return std::unexpected(platform::errorFromErrno(ENOENT));
        folder = found->second;
    }
    return std::make_unique<ImageDirectory>(m_tree, folder);
}

} // namespace mellowby::archive
