#include "catalog/pendingcatalog.h"

#include <utility>

#include "catalog/volumerecord.h"
#include "platform/filesystem.h"
#include "platform/temporarynames.h"

namespace mellowby::catalog {

namespace {

// A file moved out of the way of its replacement, so that a commit that fails part way can put
// it back.
class SetAside {
public:
    SetAside(platform::IFileSystem& fileSystem, std::string path)
        : m_fileSystem(fileSystem)
        , m_path(std::move(path))
    {
    }

    std::expected<void, platform::Error> take()
    {
        if (m_fileSystem.isFile(m_path)) {
            std::string aside = platform::temporaryPathBeside(m_path);
            if (auto moved = m_fileSystem.renameFile(m_path, aside); !moved)
                return moved;
            m_aside = std::move(aside);
        }
        m_taken = true;
        return {};
    }
    // The old file back in place of what replaced it; where there was none, what replaced it goes.
    void putBack()
    {
        if (!m_taken)
            return;
        if (!m_aside.empty())
            (void)m_fileSystem.renameFile(m_aside, m_path);
        else if (m_fileSystem.isFile(m_path))
            (void)m_fileSystem.removeFile(m_path);
    }
    void drop()
    {
        if (!m_aside.empty())
            (void)m_fileSystem.removeFile(m_aside);
    }

private:
    platform::IFileSystem& m_fileSystem;
    std::string m_path;
    std::string m_aside;
    bool m_taken = false;
};

// The old companions of a catalog being replaced, set aside together and put back together.
class OldCompanions {
public:
    template <typename Files> OldCompanions(platform::IFileSystem& fileSystem, const Files& companions)
    {
        m_files.reserve(companions.size());
        for (const auto& companion : companions)
            m_files.emplace_back(fileSystem, companion.path);
    }

    std::expected<void, platform::Error> take()
    {
        for (SetAside& old : m_files) {
            if (auto taken = old.take(); !taken)
                return taken;
        }
        return {};
    }
    void putBack()
    {
        for (SetAside& old : m_files)
            old.putBack();
    }
    void drop()
    {
        for (SetAside& old : m_files)
            old.drop();
    }

private:
    std::vector<SetAside> m_files;
};

} // namespace

// The file a new one replaced that lies under a name in another letter case, and so was not
// replaced by the move, goes.
void PendingCatalog::removeIfOtherCase(platform::IFileSystem& fileSystem, const PendingFile& file)
{
    if (file.oldPath != file.path && fileSystem.isFile(file.oldPath))
        (void)fileSystem.removeFile(file.oldPath);
}

PendingCatalog::~PendingCatalog() = default;
PendingCatalog::PendingCatalog(PendingCatalog&&) noexcept = default;
PendingCatalog& PendingCatalog::operator=(PendingCatalog&&) noexcept = default;

std::expected<platform::IReplacement*, platform::Error> PendingCatalog::beginCompanion(Companion which)
{
    PendingFile& file = companion(which);
    auto replacement = m_fileSystem->beginReplacement(file.path);
    if (!replacement)
        return std::unexpected(replacement.error());
    file.replacement = std::move(*replacement);
    return file.replacement.get();
}

std::expected<void, platform::Error> PendingCatalog::recordVolume(const VolumeRecord& record)
{
    // Kept only once it is written whole.
    auto file = m_fileSystem->beginReplacement(companion(Companion::VolumeRecord).path);
    if (!file)
        return std::unexpected(file.error());
    if (auto written = (*file)->write(formatVolumeRecord(record)); !written)
        return written;
    companion(Companion::VolumeRecord).replacement = std::move(*file);
    return {};
}

void PendingCatalog::followWith(std::unique_ptr<ICommitFollower> follower)
{
    m_followers.push_back(std::move(follower));
}

std::expected<CatalogPaths, platform::Error> PendingCatalog::commit()
{
    if (auto finished = finishAll(); !finished)
        return std::unexpected(finished.error());
    const auto held = m_fileSystem->lockFolder(m_folder);
    if (auto moved = moveIntoPlace(); !moved)
        return std::unexpected(moved.error());
    removeOldInOtherCase();
    const PendingFile& database = companion(Companion::Database);
    const CatalogPaths paths { m_catalog.path, companion(Companion::Twin).path,
        database.replacement ? database.path : std::string() };
    // Still holding the folder: what they record of the catalog is of this one.
    for (const auto& follower : m_followers)
        follower->catalogInPlace(paths);
    return paths;
}

std::expected<void, platform::Error> PendingCatalog::finishAll()
{
    if (auto finished = m_catalog.replacement->finish(); !finished)
        return finished;
    for (const PendingFile& file : m_companions) {
        if (!file.replacement)
            continue;
        if (auto finished = file.replacement->finish(); !finished)
            return finished;
    }
    return {};
}

std::expected<void, platform::Error> PendingCatalog::moveIntoPlace()
{
    OldCompanions old(*m_fileSystem, m_companions);
    auto moved = old.take();
    for (const PendingFile& file : m_companions) {
        if (moved && file.replacement)
            moved = file.replacement->commit();
    }
    if (moved)
        moved = m_catalog.replacement->commit();
    if (!moved) {
        old.putBack();
        return moved;
    }
    old.drop();
    return {};
}

void PendingCatalog::removeOldInOtherCase()
{
    removeIfOtherCase(*m_fileSystem, m_catalog);
    for (const PendingFile& file : m_companions)
        removeIfOtherCase(*m_fileSystem, file);
}

} // namespace mellowby::catalog
