#pragma once

#include <cstddef>
#include <vector>

namespace mellowby::platform {
class IReadableFile;
}

namespace mellowby::archive {

class Deadline;

// Which members of a RAR 5 archive have their data encrypted (rar -p), in the order of their
// file headers, which is the order libarchive lists them in: libarchive 3.6 reads the names of
// such members but never says they are encrypted, so their headers are read here for the file
// encryption record of their extra area. At most maxMembers headers are read, each bounded by
// the file; the walk ends at the first header that makes no sense.
std::vector<bool> rar5EncryptedMembers(
    const platform::IReadableFile& file, std::size_t maxMembers, const Deadline& deadline);

} // namespace mellowby::archive
