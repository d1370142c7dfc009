#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mellowby::platform {

// The name under which the new contents of fileName are written before they replace it:
// ".<fileName>.mellowby-<pid>-<sequence>.tmp", with a long fileName shortened. The leading dot
// keeps it out of the way in file managers, the process number tells whether its writer still
// runs, and ".tmp" keeps it from looking like a catalog.
std::string temporaryNameFor(std::string_view fileName, long processId, std::uint64_t sequence);

// A temporary name beside the file at path, unique within this process and across processes.
std::string temporaryPathBeside(const std::string& path);

// The process that writes under a temporary name, or nothing when name is not one.
std::optional<long> writerOfTemporaryName(std::string_view name);

// Whether the process of that number has ended, so that what it left under its temporary names is
// abandoned. A process of another user still runs.
bool processIsGone(long processId);

} // namespace mellowby::platform
