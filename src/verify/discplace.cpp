#include "verify/discplace.h"

#include "catalog/volumerecord.h"
#include "catalog/volumewhereabouts.h"
#include "platform/paths.h"
#include "platform/volumes.h"

namespace mellowby::verify {

namespace {

std::expected<std::string, DiscNotFound> atFolder(
    platform::IVolumes& volumes, const catalog::VolumeRecord& record, const std::string& at)
{
    const auto place = volumes.placeOf(at);
    if (!place)
        return std::unexpected(DiscNotFound { false, "无法确定“" + at + "”所在的卷：" + place.error().description });
    if (!catalog::sameVolume(place->volume, record.volume))
        return std::unexpected(DiscNotFound { true,
            "“" + at + "”在另一个卷上：" + catalog::volumeDescription(place->volume, catalog::VolumeDetail::Full)
                + "，而目录扫描的是 " + catalog::volumeDescription(record.volume, catalog::VolumeDetail::Full) });
    // The scanned folder below the folder given, as it lies on the volume.
    const auto rest = platform::pathBelow("/" + record.relativePath, "/" + place->relativePath);
    if (!rest)
        return std::unexpected(DiscNotFound {
            false, "“" + at + "”不是扫描的文件夹，也不在它之上（扫描的是卷中的“/" + record.relativePath + "”）" });
    return rest->empty() ? at : platform::joinPath(at, *rest);
}

} // namespace

std::expected<std::string, DiscNotFound> scannedFolderNow(platform::IVolumes& volumes,
    const std::optional<catalog::VolumeRecord>& record, const std::optional<std::string>& at)
{
    if (!record) {
        if (at)
            return *at;
        return std::unexpected(DiscNotFound {
            false, "目录没有记录所在的卷（较早生成的和在 Windows 上生成的目录都没有），请用 --at 给出它现在的位置" });
    }
    if (at)
        return atFolder(volumes, *record, *at);
    const auto mounted = volumes.mountedVolumes();
    if (!mounted)
        return std::unexpected(DiscNotFound { false, "无法读取挂载表：" + mounted.error().description });
    const auto where = catalog::locateVolume(*record, *mounted);
    switch (where.state) {
    case catalog::VolumeState::Mounted:
        return where.scannedPathNow;
    case catalog::VolumeState::Replaced:
        return std::unexpected(DiscNotFound {
            true, "“" + where.volume.mountPoint + "”中现在是另一个卷：" + catalog::volumeDescription(where.volume) });
    case catalog::VolumeState::Absent:
        break;
    }
    return std::unexpected(
        DiscNotFound { false, "目录所在的卷（" + catalog::volumeDescription(record->volume) + "）现在没有挂载" });
}

} // namespace mellowby::verify
