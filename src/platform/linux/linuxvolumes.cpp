#include "platform/linux/linuxvolumes.h"

#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include <blkid/blkid.h>
#include <sys/statvfs.h>

#include "platform/hexdigits.h"
#include "platform/linux/mounttable.h"
#include "platform/paths.h"

namespace mellowby::platform {

namespace {

namespace fs = std::filesystem;

struct FileSystemTags {
    std::string uuid;
    std::string label;
};

using ProbeHandle = std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)>;

std::string probedValue(blkid_probe probe, const char* name)
{
    const char* value = nullptr;
    if (blkid_probe_lookup_value(probe, name, &value, nullptr) != 0 || value == nullptr)
        return {};
    return value;
}

// The tags in the file system's own superblock; nothing when the device cannot be opened (an
// ordinary user may not read most devices) or holds no file system libblkid knows.
std::optional<FileSystemTags> probeSuperblock(const std::string& device)
{
    const ProbeHandle probe(blkid_new_probe_from_filename(device.c_str()), &blkid_free_probe);
    if (!probe)
        return std::nullopt;
    if (blkid_probe_enable_superblocks(probe.get(), 1) != 0
        || blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_UUID | BLKID_SUBLKS_LABEL) != 0
        || blkid_do_safeprobe(probe.get()) != 0)
        return std::nullopt;
    return FileSystemTags { probedValue(probe.get(), "UUID"), probedValue(probe.get(), "LABEL") };
}

// udev names its links with every byte outside a safe set (a blank, a slash...) written as \xNN.
std::string decodedLinkName(std::string_view name)
{
    std::string decoded;
    decoded.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hexDigitValue(name[i + 2]) >= 0
            && hexDigitValue(name[i + 3]) >= 0) {
            decoded.push_back(static_cast<char>(hexDigitValue(name[i + 2]) * 16 + hexDigitValue(name[i + 3])));
            i += 3;
        } else {
            decoded.push_back(name[i]);
        }
    }
    return decoded;
}

std::string canonicalOrSame(const fs::path& path)
{
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? path.string() : resolved.string();
}

// The file systems' tags by their devices, each device asked once.
class DeviceTags {
public:
    explicit DeviceTags(fs::path diskLinks)
        : m_diskLinks(std::move(diskLinks))
    {
    }

    const FileSystemTags& of(const std::string& device)
    {
        const std::string key = canonicalOrSame(device);
        if (const auto known = m_known.find(key); known != m_known.end())
            return known->second;
        auto tags = probeSuperblock(device);
        if (!tags)
            tags = fromLinks(key);
        return m_known.emplace(key, std::move(*tags)).first->second;
    }

private:
    FileSystemTags fromLinks(const std::string& device)
    {
        if (!m_linked) {
            m_linked.emplace();
            readLinks("by-uuid", &FileSystemTags::uuid);
            readLinks("by-label", &FileSystemTags::label);
        }
        const auto found = m_linked->find(device);
        return found == m_linked->end() ? FileSystemTags {} : found->second;
    }

    void readLinks(const char* folder, std::string FileSystemTags::*tag)
    {
        std::error_code error;
        for (const auto& link : fs::directory_iterator(m_diskLinks / folder, error))
            (*m_linked)[canonicalOrSame(link.path())].*tag = decodedLinkName(link.path().filename().string());
    }

    fs::path m_diskLinks;
    std::map<std::string, FileSystemTags> m_known;
    std::optional<std::map<std::string, FileSystemTags>> m_linked; // read when first needed
};

std::uint64_t totalBytesOf(const std::string& mountPoint)
{
    struct statvfs stats { };
    if (::statvfs(mountPoint.c_str(), &stats) != 0)
        return 0;
    return static_cast<std::uint64_t>(stats.f_blocks) * stats.f_frsize;
}

Volume describe(const MountEntry& mount, const std::string& devRoot, DeviceTags& tags)
{
    Volume volume;
    volume.type = mount.fsType;
    volume.mountPoint = mount.mountPoint;
    volume.root = mount.root;
    if (const auto below = pathBelow(mount.source, devRoot); below && !below->empty()) {
        volume.device = mount.source;
        const FileSystemTags& found = tags.of(volume.device);
        volume.uuid = found.uuid;
        volume.label = found.label;
    }
    if (!isNetworkFileSystem(mount.fsType))
        volume.totalBytes = totalBytesOf(mount.mountPoint);
    return volume;
}

// The mount that holds path: the one with the longest mount point above it.
const MountEntry* mountHolding(const std::vector<MountEntry>& mounts, const std::string& path)
{
    const MountEntry* holder = nullptr;
    for (const auto& mount : mounts) {
        if (pathBelow(path, mount.mountPoint) && (!holder || mount.mountPoint.size() > holder->mountPoint.size()))
            holder = &mount;
    }
    return holder;
}

} // namespace

LinuxVolumes::LinuxVolumes(VolumePaths paths)
    : m_paths(std::move(paths))
{
}

std::expected<PlaceOnVolume, Error> LinuxVolumes::placeOf(const std::string& path)
{
    std::error_code error;
    const std::string resolved = fs::canonical(path, error).string();
    if (error)
        return std::unexpected(errorFromErrno(error.value()));
    const auto mountInfo = readMountTable(m_paths.mountInfo);
    if (!mountInfo)
        return std::unexpected(mountInfo.error());
    const auto mounts = visibleMounts(*mountInfo);
    const MountEntry* mount = mountHolding(mounts, resolved);
    if (mount == nullptr)
        return std::unexpected(errorFromErrno(ENOENT));
    if (isPseudoFileSystem(*mount) || isNetworkFileSystem(mount->fsType))
        return std::unexpected(errorFromErrno(EOPNOTSUPP));

    DeviceTags tags(m_paths.diskLinks);
    return PlaceOnVolume { describe(*mount, m_paths.devRoot, tags),
        std::string(*pathBelow(resolved, mount->mountPoint)) };
}

std::expected<std::vector<Volume>, Error> LinuxVolumes::mountedVolumes()
{
    const auto mountInfo = readMountTable(m_paths.mountInfo);
    if (!mountInfo)
        return std::unexpected(mountInfo.error());
    DeviceTags tags(m_paths.diskLinks);
    std::vector<Volume> volumes;
    for (const auto& mount : visibleMounts(*mountInfo)) {
        if (!isPseudoFileSystem(mount))
            volumes.push_back(describe(mount, m_paths.devRoot, tags));
    }
    return volumes;
}

} // namespace mellowby::platform
