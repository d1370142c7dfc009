#pragma once

#include "verify/verdict.h"

#include <functional>
#include <string>

namespace mellowby::scan {
struct EarlierChanges;
}

namespace mellowby::verify {

// What a scan of a catalog again found changed, file by file, in the verdicts of a verification:
// files gone (Missing), come (Added), of another size or modification time (Modified), and those
// the earlier scan had digested that the new one could not read (Unreadable). Files found as they
// were are not told. root: where the new scan was made, for the rows' locations.
VerdictCounts catalogChanges(
    const scan::EarlierChanges& changes, const std::string& root, const std::function<void(const VerdictRow&)>& rows);

} // namespace mellowby::verify
