#include "catalog/catalogstore.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "app/casefold.h"
#include "app/programfolder.h"
#include "catalog/catalogreader.h"
#include "catalog/textutils.h"
#include "platform/filesystem.h"
#include "platform/paths.h"
#include "platform/temporarynames.h"

namespace mellowby::catalog {

namespace {

constexpr std::string_view kXml = ".xml";

bool endsWithXmlAnyCase(std::string_view name)
{
    if (name.size() < kXml.size())
        return false;
    return std::ranges::equal(name.substr(name.size() - kXml.size()), kXml,
        [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

// The file of the catalog proper of a name: the name with ".xml", unless it ends in ".xml".
std::string xmlFileNameOf(std::string_view name)
{
    return endsWithXmlAnyCase(name) ? std::string(name) : std::string(name) + std::string(kXml);
}

// The twin of a catalog name or file name: a final ".xml" (any case) replaced by ".idx", else
// ".idx" appended.
std::string idxFileNameOf(std::string_view name)
{
    return std::string(endsWithXmlAnyCase(name) ? name.substr(0, name.size() - kXml.size()) : name) + ".idx";
}

platform::Error refusal(std::string description)
{
    return { 0, std::move(description) };
}

// A catalog that cannot be read at all can be as big as the file system allows; the limit only
// keeps anything but a regular file out.
constexpr std::size_t kMaxCatalogSize = std::numeric_limits<std::size_t>::max();

} // namespace

CatalogFileNames catalogFileNames(std::string_view typedName)
{
    if (typedName.empty())
        return { xmlFileNameOf(kUnnamedCatalog), idxFileNameOf(kUnnamedCatalog), std::string() };
    return { xmlFileNameOf(typedName), idxFileNameOf(typedName), std::string(typedName) };
}

std::string effectiveCatalogName(std::string_view typedName)
{
    return std::string(typedName.empty() ? kUnnamedCatalog : typedName);
}

std::string catalogKeyOf(std::string_view name)
{
    return std::string(endsWithXmlAnyCase(name) ? name.substr(0, name.size() - kXml.size()) : name);
}

std::optional<std::string> catalogNameProblem(std::string_view name)
{
    if (name == "." || name == "..")
        return "名称“" + std::string(name) + "”不能用作目录名称。";
    if (name.find('/') != std::string_view::npos)
        return "目录名称“" + std::string(name) + "”中含有“/”，会指向数据目录以外的位置。";
    if (name.find('\0') != std::string_view::npos)
        return "目录名称中不能含有空字符。";
    return std::nullopt;
}

PendingCatalog::~PendingCatalog() = default;
PendingCatalog::PendingCatalog(PendingCatalog&&) noexcept = default;
PendingCatalog& PendingCatalog::operator=(PendingCatalog&&) noexcept = default;

std::expected<CatalogPaths, platform::Error> PendingCatalog::commit()
{
    platform::IFileSystem& fileSystem = *m_fileSystem;
    for (platform::IReplacement* file : { m_xml.get(), m_idx.get() }) {
        if (auto finished = file->finish(); !finished)
            return std::unexpected(finished.error());
    }
    const std::string setAside = platform::temporaryPathBeside(m_paths.idxPath);
    const bool oldTwin = fileSystem.isFile(m_paths.idxPath);
    if (oldTwin) {
        if (auto moved = fileSystem.renameFile(m_paths.idxPath, setAside); !moved)
            return std::unexpected(moved.error());
    }
    if (auto committed = m_idx->commit(); !committed) {
        if (oldTwin)
            (void)fileSystem.renameFile(setAside, m_paths.idxPath);
        return std::unexpected(committed.error());
    }
    if (auto committed = m_xml->commit(); !committed) {
        if (oldTwin)
            (void)fileSystem.renameFile(setAside, m_paths.idxPath);
        else
            (void)fileSystem.removeFile(m_paths.idxPath);
        return std::unexpected(committed.error());
    }
    if (oldTwin)
        (void)fileSystem.removeFile(setAside);
    if (m_oldXml != m_paths.xmlPath && fileSystem.isFile(m_oldXml))
        (void)fileSystem.removeFile(m_oldXml);
    if (m_oldIdx != m_paths.idxPath && fileSystem.isFile(m_oldIdx))
        (void)fileSystem.removeFile(m_oldIdx);
    return m_paths;
}

CatalogStore::CatalogStore(std::string folder, platform::IFileSystem& fileSystem)
    : m_folder(std::move(folder))
    , m_fileSystem(fileSystem)
{
}

std::expected<std::vector<StoredCatalog>, platform::Error> CatalogStore::catalogs() const
{
    auto entries = m_fileSystem.listFolder(m_folder);
    if (!entries) {
        if (entries.error().number == ENOENT)
            return std::vector<StoredCatalog> {};
        return std::unexpected(entries.error());
    }
    struct Sorted {
        std::string folded;
        StoredCatalog catalog;
    };
    std::vector<Sorted> found;
    for (auto& entry : *entries) {
        if (entry.isDirectory || !endsWithXmlAnyCase(entry.name))
            continue;
        // As start-up keys a catalog: its file name without the extension.
        std::string name = getShortName(entry.name);
        found.push_back({ app::foldCase(entry.name), { std::move(entry.name), std::move(name) } });
    }
    std::ranges::sort(found, [](const Sorted& a, const Sorted& b) {
        return a.folded != b.folded ? a.folded < b.folded : a.catalog.fileName < b.catalog.fileName;
    });
    std::vector<StoredCatalog> sorted;
    sorted.reserve(found.size());
    for (auto& item : found)
        sorted.push_back(std::move(item.catalog));
    return sorted;
}

std::string CatalogStore::resolve(std::string_view fileName) const
{
    return app::resolveIgnoringCase(m_fileSystem, m_folder, fileName);
}

std::expected<std::string, platform::Error> CatalogStore::catalogPath(std::string_view name) const
{
    if (auto problem = catalogNameProblem(name))
        return std::unexpected(refusal(std::move(*problem)));
    return resolve(xmlFileNameOf(name));
}

std::expected<std::string, platform::Error> CatalogStore::twinPath(std::string_view name) const
{
    if (auto problem = catalogNameProblem(name))
        return std::unexpected(refusal(std::move(*problem)));
    return resolve(idxFileNameOf(name));
}

bool CatalogStore::exists(std::string_view name) const
{
    const auto path = catalogPath(name);
    return path && m_fileSystem.isFile(*path);
}

CatalogDocument CatalogStore::load(const std::expected<std::string, platform::Error>& path) const
{
    CatalogDocument document;
    if (!path) {
        document.failToRead(path.error());
        return document;
    }
    auto bytes = m_fileSystem.readWholeFile(*path, kMaxCatalogSize);
    if (!bytes)
        document.failToRead(bytes.error());
    else if (!*bytes)
        document.failToRead(platform::errorFromErrno(ENOENT));
    else
        document.loadBytes(std::move(**bytes));
    return document;
}

CatalogDocument CatalogStore::loadCatalog(std::string_view name) const
{
    return load(catalogPath(name));
}

CatalogDocument CatalogStore::loadTwin(std::string_view name) const
{
    return load(twinPath(name));
}

std::expected<void, platform::Error> CatalogStore::moveToTrash(std::string_view name) const
{
    const auto path = catalogPath(name);
    if (!path)
        return std::unexpected(path.error());
    return m_fileSystem.moveToTrash(*path);
}

std::expected<PendingCatalog, platform::Error> CatalogStore::beginCatalog(std::string_view typedName) const
{
    if (auto problem = catalogNameProblem(typedName))
        return std::unexpected(refusal(std::move(*problem)));
    const CatalogFileNames names = catalogFileNames(typedName);
    PendingCatalog pending;
    pending.m_fileSystem = &m_fileSystem;
    pending.m_paths = { platform::joinPath(m_folder, names.xmlName), platform::joinPath(m_folder, names.idxName) };
    // A catalog whose names differ only in letter case is the same catalog.
    pending.m_oldXml = resolve(names.xmlName);
    pending.m_oldIdx = resolve(names.idxName);
    auto xml = m_fileSystem.beginReplacement(pending.m_paths.xmlPath);
    if (!xml)
        return std::unexpected(xml.error());
    pending.m_xml = std::move(*xml);
    auto idx = m_fileSystem.beginReplacement(pending.m_paths.idxPath);
    if (!idx)
        return std::unexpected(idx.error());
    pending.m_idx = std::move(*idx);
    return pending;
}

void CatalogStore::removeLeftovers() const
{
    m_fileSystem.removeAbandonedReplacements(m_folder);
}

} // namespace mellowby::catalog
