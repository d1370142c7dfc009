#include "catalog/catalogstore.h"

#include <algorithm>
#include <array>
#include <limits>
#include <tuple>
#include <utility>

#include "app/casefold.h"
#include "app/codepage936.h"
#include "catalog/catalogreader.h"
#include "catalog/textutils.h"
#include "catalog/volumerecord.h"
#include "platform/filesystem.h"
#include "platform/paths.h"

namespace mellowby::catalog {

namespace {

platform::Error refusal(std::string description)
{
    return { 0, std::move(description) };
}

// A catalog that cannot be read at all can be as big as the file system allows; the limit only
// keeps anything but a regular file out.
constexpr std::size_t kMaxCatalogSize = std::numeric_limits<std::size_t>::max();
// A record holds a few paths; anything this big is no record.
constexpr std::size_t kMaxVolumeRecordSize = 256 * 1024;

} // namespace

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
        std::string key;
        bool inCodePage = false; // a name not in UTF-8
        StoredCatalog catalog;
    };
    std::vector<Sorted> found;
    app::Utf8OrCp936Reader reader;
    for (auto& entry : *entries) {
        if (entry.isDirectory || !endsWithXmlAnyCase(entry.name))
            continue;
        std::string fileName = reader.read(entry.name);
        const bool inCodePage = fileName != entry.name;
        std::string key = catalogNameKey(fileName);
        // catalogNameOfFile, with one reader for the whole folder.
        std::string name = getShortName(fileName);
        found.push_back({ std::move(key), inCodePage, { std::move(entry.name), std::move(name) } });
    }
    // Of two files of one name, the one the name finds first (resolve) comes first, and is the
    // one loaded.
    std::ranges::sort(found, [](const Sorted& a, const Sorted& b) {
        return std::tie(a.key, a.inCodePage, a.catalog.fileName) < std::tie(b.key, b.inCodePage, b.catalog.fileName);
    });
    std::vector<StoredCatalog> sorted;
    sorted.reserve(found.size());
    for (auto& item : found)
        sorted.push_back(std::move(item.catalog));
    return sorted;
}

std::string CatalogStore::resolve(std::string_view fileName) const
{
    std::string exact = platform::joinPath(m_folder, fileName);
    if (fileName.empty() || m_fileSystem.stampOf(exact))
        return exact;
    // The name as Windows wrote it, in code page 936: found without listing the folder, which
    // every catalog of a search would otherwise pay for again.
    if (const auto bytes = app::encodeCp936(fileName); bytes && *bytes != fileName) {
        std::string inCodePage = platform::joinPath(m_folder, *bytes);
        if (m_fileSystem.stampOf(inCodePage))
            return inCodePage;
    }
    // Errors (no such folder, no permission) end the search quietly: the caller then works with
    // the name as given and meets the real failure when it uses it.
    const auto entries = m_fileSystem.listFolder(m_folder);
    if (!entries)
        return exact;
    const std::string key = catalogNameKey(fileName);
    app::Utf8OrCp936Reader reader;
    const platform::FolderEntry* same = nullptr;
    for (const auto& entry : *entries) {
        if (entry.name == fileName)
            return exact;
        if (same == nullptr && catalogNameKey(reader.read(entry.name)) == key)
            same = &entry;
    }
    return same != nullptr ? platform::joinPath(m_folder, same->name) : exact;
}

std::expected<std::string, platform::Error> CatalogStore::catalogPath(std::string_view name) const
{
    if (auto problem = catalogNameProblem(name))
        return std::unexpected(refusal(std::move(*problem)));
    return resolve(xmlFileNameOf(name));
}

std::expected<std::string, platform::Error> CatalogStore::twinPath(std::string_view name) const
{
    return companionPath(name, Companion::Twin);
}

std::expected<std::string, platform::Error> CatalogStore::companionPath(std::string_view name, Companion which) const
{
    if (auto problem = catalogNameProblem(name))
        return std::unexpected(refusal(std::move(*problem)));
    return resolve(companionFileNameOf(name, which));
}

std::string CatalogStore::companionBeside(const std::string& catalogPath, Companion which)
{
    return std::string(platform::folderPartOf(catalogPath))
        + companionFileNameOf(platform::fileNameOf(catalogPath), which);
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

std::optional<VolumeRecord> CatalogStore::volumeRecord(std::string_view name) const
{
    if (catalogNameProblem(name))
        return std::nullopt;
    const auto bytes
        = m_fileSystem.readWholeFile(resolve(companionFileNameOf(name, Companion::VolumeRecord)), kMaxVolumeRecordSize);
    if (!bytes || !*bytes)
        return std::nullopt;
    return parseVolumeRecord(**bytes);
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
    PendingCatalog pending;
    pending.m_fileSystem = &m_fileSystem;
    pending.m_folder = m_folder;
    pending.m_names = catalogFileNames(typedName);
    // A catalog whose names differ only in letter case is the same catalog.
    const auto place = [&](PendingCatalog::PendingFile& file, const std::string& name) {
        file.path = platform::joinPath(m_folder, name);
        file.oldPath = resolve(name);
    };
    place(pending.m_catalog, pending.m_names.xmlName);
    for (const Companion which : kCompanions)
        place(pending.companion(which), pending.m_names.companionName(which));
    auto xml = m_fileSystem.beginReplacement(pending.m_catalog.path);
    if (!xml)
        return std::unexpected(xml.error());
    pending.m_catalog.replacement = std::move(*xml);
    if (auto twin = pending.beginCompanion(Companion::Twin); !twin)
        return std::unexpected(twin.error());
    return pending;
}

void CatalogStore::removeLeftovers() const
{
    m_fileSystem.removeAbandonedReplacements(m_folder);
}

} // namespace mellowby::catalog
