#include "platform/linux/blockdevices.h"

#include <algorithm>
#include <fstream>

#include <system_error>

namespace mellowby::platform {

namespace fs = std::filesystem;

std::optional<std::string> firstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    return line;
}

bool isOpticalDriveName(std::string_view name)
{
    return name.size() > 2 && name.starts_with("sr")
        && std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<fs::path> wholeDiskNode(
    const std::string& sysfsRoot, const std::string& majorMinor, const std::string& source)
{
    std::error_code error;
    auto node = fs::canonical(fs::path(sysfsRoot) / "dev/block" / majorMinor, error);
    if (error) {
        if (!source.starts_with("/dev/"))
            return std::nullopt;
        node = fs::canonical(fs::path(sysfsRoot) / "class/block" / fs::path(source).filename(), error);
        if (error)
            return std::nullopt;
    }
    if (fs::exists(node / "partition", error))
        node = node.parent_path();
    return node;
}

} // namespace mellowby::platform
