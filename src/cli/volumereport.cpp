#include "cli/volumereport.h"

#include <filesystem>

#include "catalog/catalogstore.h"
#include "catalog/volumerecord.h"
#include "catalog/volumewhereabouts.h"

namespace mellowby::cli {

namespace {

constexpr const char* kOffline = "不在线";
constexpr const char* kOnline = "在线";
constexpr const char* kUnknown = "未知";

// A catalog of a disc image: the image file where its volume is mounted now (or where it was
// scanned, on a volume that could not be told), and the file inside it at the image's path.
WhereAnswer whereInImage(const catalog::VolumeRecord& record, const catalog::VolumeWhereabouts& where,
    const std::optional<std::string>& location)
{
    std::string image = record.scannedPath;
    if (where.state == catalog::VolumeState::Mounted)
        image = where.scannedPathNow;
    else if (!record.volume.mountPoint.empty())
        return WhereAnswer { kOffline, false, {} };
    std::error_code error;
    if (!std::filesystem::is_regular_file(image, error))
        return WhereAnswer { kOffline, false, "光盘映像“" + image + "”不存在。" };
    return WhereAnswer { location ? *catalog::relocated(record, *location, image) : image, true, {} };
}

} // namespace

std::expected<WhereAnswer, std::string> whereIs(const catalog::CatalogStore& store, platform::IVolumes& volumes,
    const std::string& name, const std::optional<std::string>& location)
{
    const auto record = store.volumeRecord(name);
    if (!record)
        return std::unexpected("目录“" + name + "”没有记录所在的卷（较早生成的和在 Windows 上生成的目录都没有）。");
    if (location && !catalog::relocated(*record, *location, record->scannedPath))
        return std::unexpected("“" + *location + "”不在目录“" + name + "”扫描的“" + record->scannedPath + "”之下。");
    const auto mounted = volumes.mountedVolumes();
    if (!mounted)
        return std::unexpected("无法读取挂载表：" + mounted.error().description);

    const auto where = catalog::locateVolume(*record, *mounted);
    if (record->image)
        return whereInImage(*record, where, location);
    switch (where.state) {
    case catalog::VolumeState::Mounted:
        return WhereAnswer {
            location ? *catalog::relocated(*record, *location, where.scannedPathNow) : where.volume.mountPoint, true, {}
        };
    case catalog::VolumeState::Replaced:
        return WhereAnswer { kOffline, false,
            "“" + where.volume.mountPoint + "”中现在是另一个卷：" + catalog::volumeDescription(where.volume) };
    case catalog::VolumeState::Absent:
        break;
    }
    return WhereAnswer { kOffline, false, {} };
}

std::string volumeColumns(const catalog::CatalogStore& store, const std::string& name,
    const std::expected<std::vector<platform::Volume>, platform::Error>& mounted)
{
    const auto record = store.volumeRecord(name);
    if (!record)
        return std::string("\t") + kUnknown;
    // A disc image is known by its own label, and is online when its file is there.
    const std::string& label = record->image ? record->image->label : record->volume.label;
    if (!mounted)
        return label + "\t" + kUnknown;
    const auto where = catalog::locateVolume(*record, *mounted);
    const bool online
        = record->image ? whereInImage(*record, where, {}).online : where.state == catalog::VolumeState::Mounted;
    return label + "\t" + (online ? kOnline : kOffline);
}

} // namespace mellowby::cli
