#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/recordwriter.h"
#include "names/filefacts.h"

namespace mellowby::cli {

// The columns of a file's exact facts, where its catalog's database gave them: its size in bytes
// and the time of its last change.
std::vector<RecordField> factFields();

// A time in nanoseconds since 1970 UTC in the local time zone, to the nanosecond, with its offset
// from UTC: "2026-03-15T07:00:00.000000000+08:00".
std::string localTimeText(std::int64_t nanoseconds);

// The texts of the columns: both empty when there are no facts.
struct FactTexts {
    std::string size;
    std::string modified;
};
FactTexts factTexts(const std::optional<names::FileFacts>& facts);

} // namespace mellowby::cli
