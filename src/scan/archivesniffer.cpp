#include "scan/archivesniffer.h"

#include <array>
#include <span>

#include "archive/archivenames.h"
#include "platform/filesystem.h"

namespace mellowby::scan {

ArchiveSniffer::ArchiveSniffer(platform::IFileSystem& files)
    : m_files(files)
{
}

ArchiveSniffer::~ArchiveSniffer() = default;

platform::IReadableFolder* ArchiveSniffer::folderOf(const WalkedFolder& folder)
{
    if (folder.stay == m_stay)
        return m_folder.get();
    m_stay = folder.stay;
    m_folder.reset();
    m_path.assign(folder.path);
    auto opened = m_files.openFolder(m_path);
    if (opened && (!folder.id.known() || (*opened)->id() == folder.id))
        m_folder = std::move(*opened);
    return m_folder.get();
}

archive::Sniffed ArchiveSniffer::sniff(const WalkedFolder& folder, std::string_view name, std::uint64_t size)
{
    platform::IReadableFolder* opened = folderOf(folder);
    if (opened == nullptr)
        return {};
    m_name.assign(name);
    archive::Sniffed sniffed;
    if (archive::namedLikeDiscImage(m_name)) {
        const auto image = opened->openFile(m_name);
        if (!image)
            return {};
        sniffed = archive::sniffFile(**image);
    } else {
        std::array<char, archive::kArchiveHeadLength> head;
        const auto read = opened->readStart(m_name, head);
        if (!read)
            return {};
        sniffed = archive::sniffArchive(std::span<const char>(head.data(), *read), size);
    }
    // An image of UDF alone is no archive the lister can read.
    return sniffed.kind == archive::ArchiveKind::Udf ? archive::Sniffed {} : sniffed;
}

std::unique_ptr<platform::IReadableFile> ArchiveSniffer::open(const WalkedFolder& folder, std::string_view name)
{
    platform::IReadableFolder* opened = folderOf(folder);
    if (opened == nullptr)
        return nullptr;
    m_name.assign(name);
    auto file = opened->openFile(m_name);
    return file ? std::move(*file) : nullptr;
}

} // namespace mellowby::scan
