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

// A file of the catalog of a name or file name beside the catalog proper: a final ".xml" (any
// case) replaced by extension, else extension appended.
std::string besideFileNameOf(std::string_view name, std::string_view extension)
{
    return std::string(endsWithXmlAnyCase(name) ? name.substr(0, name.size() - kXml.size()) : name)
        + std::string(extension);
}

std::string idxFileNameOf(std::string_view name)
{
    return besideFileNameOf(name, ".idx");
}

std::string volumeFileNameOf(std::string_view name)
{
    return besideFileNameOf(name, ".vol");
}

platform::Error refusal(std::string description)
{
    return { 0, std::move(description) };
}

// A catalog that cannot be read at all can be as big as the file system allows; the limit only
// keeps anything but a regular file out.
constexpr std::size_t kMaxCatalogSize = std::numeric_limits<std::size_t>::max();
// A record holds a few paths; anything this big is no record.
constexpr std::size_t kMaxVolumeRecordSize = 256 * 1024;

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

} // namespace

CatalogFileNames catalogFileNames(std::string_view typedName)
{
    const std::string_view name = typedName.empty() ? kUnnamedCatalog : typedName;
    return { xmlFileNameOf(name), idxFileNameOf(name), volumeFileNameOf(name), std::string(typedName) };
}

std::string effectiveCatalogName(std::string_view typedName)
{
    return std::string(typedName.empty() ? kUnnamedCatalog : typedName);
}

std::string catalogKeyOf(std::string_view name)
{
    return std::string(endsWithXmlAnyCase(name) ? name.substr(0, name.size() - kXml.size()) : name);
}

std::string catalogNameOfFile(std::string_view fileName)
{
    app::Utf8OrCp936Reader reader;
    return getShortName(reader.read(fileName));
}

std::string catalogNameKey(std::string_view name)
{
    // Each second character of a pair as its first: the UTF-8 of U+30FB and U+2015, of U+00B7 and
    // U+2014.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 2> kSameBytes { {
        { "\xE3\x83\xBB", "\xC2\xB7" },
        { "\xE2\x80\x95", "\xE2\x80\x94" },
    } };
    std::string text(name);
    for (const auto& [written, read] : kSameBytes) {
        for (std::size_t at = text.find(written); at != std::string::npos; at = text.find(written, at + read.size()))
            text.replace(at, written.size(), read);
    }
    return app::foldCase(text);
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

std::expected<void, platform::Error> PendingCatalog::recordVolume(const VolumeRecord& record)
{
    auto file = m_fileSystem->beginReplacement(m_volumePath);
    if (!file)
        return std::unexpected(file.error());
    if (auto written = (*file)->write(formatVolumeRecord(record)); !written)
        return written;
    m_volume = std::move(*file);
    return {};
}

std::expected<CatalogPaths, platform::Error> PendingCatalog::commit()
{
    platform::IFileSystem& fileSystem = *m_fileSystem;
    for (platform::IReplacement* file : { m_xml.get(), m_idx.get(), m_volume.get() }) {
        if (file == nullptr)
            continue;
        if (auto finished = file->finish(); !finished)
            return std::unexpected(finished.error());
    }
    SetAside twin(fileSystem, m_paths.idxPath);
    SetAside record(fileSystem, m_volumePath);
    const auto undo = [&](platform::Error error) {
        twin.putBack();
        record.putBack();
        return std::unexpected(std::move(error));
    };
    for (SetAside* old : { &twin, &record }) {
        if (auto taken = old->take(); !taken)
            return undo(taken.error());
    }
    for (platform::IReplacement* file : { m_idx.get(), m_volume.get(), m_xml.get() }) {
        if (file == nullptr)
            continue;
        if (auto committed = file->commit(); !committed)
            return undo(committed.error());
    }
    twin.drop();
    record.drop();
    const auto removeOtherCase = [&](const std::string& old, const std::string& now) {
        if (old != now && fileSystem.isFile(old))
            (void)fileSystem.removeFile(old);
    };
    removeOtherCase(m_oldXml, m_paths.xmlPath);
    removeOtherCase(m_oldIdx, m_paths.idxPath);
    removeOtherCase(m_oldVolume, m_volumePath);
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

std::optional<VolumeRecord> CatalogStore::volumeRecord(std::string_view name) const
{
    if (catalogNameProblem(name))
        return std::nullopt;
    const auto bytes = m_fileSystem.readWholeFile(resolve(volumeFileNameOf(name)), kMaxVolumeRecordSize);
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
    const CatalogFileNames names = catalogFileNames(typedName);
    PendingCatalog pending;
    pending.m_fileSystem = &m_fileSystem;
    pending.m_paths = { platform::joinPath(m_folder, names.xmlName), platform::joinPath(m_folder, names.idxName) };
    pending.m_volumePath = platform::joinPath(m_folder, names.volumeName);
    // A catalog whose names differ only in letter case is the same catalog.
    pending.m_oldXml = resolve(names.xmlName);
    pending.m_oldIdx = resolve(names.idxName);
    pending.m_oldVolume = resolve(names.volumeName);
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
