#include "platform/paths.h"

namespace mellowby::platform {

std::string joinPath(std::string_view dir, std::string_view name)
{
    std::string joined;
    joined.reserve(dir.size() + 1 + name.size());
    joined.append(dir);
    if (joined.empty() || joined.back() != kPathSeparator)
        joined.push_back(kPathSeparator);
    joined.append(name);
    return joined;
}

} // namespace mellowby::platform
