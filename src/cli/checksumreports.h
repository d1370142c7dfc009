#pragma once

#include <string>
#include <vector>

#include "search/duplicates.h"

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::cli {

struct Tool;

// export NAME --sums: the digests of the catalog's files as a checksum file that the algorithm's
// tool checks with -c from the disc's root.
int exportSums(Tool& tool, const std::string& catalog);
// dupes --content: files of the same digest across catalogs; names on standard error the
// catalogs left out for want of digests.
search::DuplicateGroups contentDuplicates(
    Tool& tool, platform::IMessageBox& box, const std::vector<std::string>& catalogs);

} // namespace mellowby::cli
