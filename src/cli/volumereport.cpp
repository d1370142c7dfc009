#include "cli/volumereport.h"

#include "catalog/catalogstore.h"
#include "catalog/volumerecord.h"
#include "catalog/volumewhereabouts.h"

namespace mellowby::cli {

namespace {

constexpr const char* kOffline = "不在线";
constexpr const char* kOnline = "在线";
constexpr const char* kUnknown = "未知";

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
    if (!mounted)
        return record->volume.label + "\t" + kUnknown;
    const bool online = catalog::locateVolume(*record, *mounted).state == catalog::VolumeState::Mounted;
    return record->volume.label + "\t" + (online ? kOnline : kOffline);
}

} // namespace mellowby::cli
