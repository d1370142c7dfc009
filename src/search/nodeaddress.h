#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace mellowby::search {

// Where a folder lies in its catalog: for each level from the first below the Disk element down
// to the folder, its title and its position among the siblings that carry the same title. Empty
// for the Disk element itself.
using NodeAddress = std::vector<std::pair<std::string, std::size_t>>;

} // namespace mellowby::search
