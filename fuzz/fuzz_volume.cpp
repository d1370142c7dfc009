// The bytes are the record of a catalog's volume as it could lie beside the catalog after a hand
// edit or a damaged disc, and also any name a file system could give a label or a path. Reading a
// record must work on anything; a record read, and any record made of those names, must be
// written as UTF-8 text of one field per line and read back exactly; locating its volume among
// mounted ones must give a path on the volume found.

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <unicode/utf8.h>

#include "catalog/volumerecord.h"
#include "catalog/volumewhereabouts.h"
#include "platform/paths.h"

namespace {

using namespace mellowby;
using fuzz::require;

bool isTextOfLines(std::string_view text)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0 || (c < 0x20 && c != '\n') || c == 0x7F)
            return false;
    }
    return text.ends_with('\n');
}

void checkWrittenAndReadBack(const catalog::VolumeRecord& record)
{
    const std::string text = catalog::formatVolumeRecord(record);
    require(isTextOfLines(text), "a record is written as UTF-8 lines without control characters");
    require(
        catalog::parseVolumeRecord(text) == record || record.volume.mountPoint.empty() || record.scannedPath.empty(),
        "a record reads back as it was written");
}

void checkLocated(const catalog::VolumeRecord& record)
{
    platform::Volume elsewhere = record.volume;
    elsewhere.mountPoint = "/media/other";
    platform::Volume part = record.volume;
    part.mountPoint = "/srv/part";
    part.root = "/a";
    const std::vector<platform::Volume> mounted { part, elsewhere };
    const auto where = catalog::locateVolume(record, mounted);
    if (where.state == catalog::VolumeState::Mounted) {
        require(platform::pathBelow(where.scannedPathNow, where.volume.mountPoint).has_value(),
            "the scanned folder is found on the volume found");
        // As the file list shows locations: with doubled separators written as one.
        const std::string location = platform::collapseDoubledSeparators(record.scannedPath + "/x");
        const auto file = catalog::relocated(record, location, where.scannedPathNow);
        require(file.has_value() && platform::pathBelow(*file, where.scannedPathNow).has_value(),
            "a file under the scanned folder is found under it again");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto record = catalog::parseVolumeRecord(bytes)) {
        checkWrittenAndReadBack(*record);
        checkLocated(*record);
    }

    // The same bytes as the names of a record: split in two at the middle.
    const std::string first(bytes.substr(0, size / 2));
    const std::string second(bytes.substr(size / 2));
    const catalog::VolumeRecord named { { first, second, first, size, second, "/" + first, "/" + second }, second,
        "/" + first + "/" + second };
    checkWrittenAndReadBack(named);
    checkLocated(named);
    return 0;
}
