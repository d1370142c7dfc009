#include "digest/checksumline.h"

namespace mellowby::digest {

namespace {

bool breaksLine(char c)
{
    return c == '\n' || c == '\r';
}

} // namespace

std::optional<std::string> checksumLine(const Digest& digest, std::string_view path)
{
    const bool escaped = digest.algorithm == DigestAlgorithm::Sha256
        && path.find_first_of(std::string_view("\\\n\r")) != std::string_view::npos;
    if (!escaped && path.find_first_of(std::string_view("\n\r")) != std::string_view::npos)
        return std::nullopt;
    std::string line = escaped ? "\\" : "";
    line.append(digest.text()).append("  ");
    if (!escaped) {
        line.append(path);
    } else {
        for (const char c : path) {
            if (c == '\\')
                line.append("\\\\");
            else if (breaksLine(c))
                line.append(c == '\n' ? "\\n" : "\\r");
            else
                line.push_back(c);
        }
    }
    line.push_back('\n');
    return line;
}

} // namespace mellowby::digest
