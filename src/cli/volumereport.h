#pragma once

#include <expected>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/volumes.h"

namespace mellowby::catalog {
class CatalogStore;
}

namespace mellowby::cli {

// What `where` answers: a path, or "不在线" when the catalog's volume is not mounted, with a note
// for standard error when another volume is in its place.
struct WhereAnswer {
    std::string line;
    bool online = false;
    std::string note;
};

// Where the volume of the catalog `name` is mounted now or, given a location as ls and search
// print one, where that file lies now. An error, in words, for a catalog without a record of its
// volume, a location that is not under the folder that was scanned, and an unreadable mount table.
std::expected<WhereAnswer, std::string> whereIs(const catalog::CatalogStore& store, platform::IVolumes& volumes,
    const std::string& name, const std::optional<std::string>& location);

// The columns that `list --long` adds to a catalog's name, tab-separated: the label of its volume,
// then "在线" or "不在线"; "未知" for a catalog without a record, or when the mount table cannot be
// read.
std::string volumeColumns(const catalog::CatalogStore& store, const std::string& name,
    const std::expected<std::vector<platform::Volume>, platform::Error>& mounted);

} // namespace mellowby::cli
