#pragma once

#include <cstdint>
#include <expected>
#include <string>

#include "platform/error.h"

namespace mellowby::archive {

// Which member of an archive: its place among the entries and its name as listed. The name is
// checked again when the member is taken out, so an archive changed since its listing never
// gives another member in its place.
struct MemberIdentity {
    std::uint64_t index = 0;
    std::string name;
};

inline constexpr std::uint64_t kMaxExtractedBytes = std::uint64_t { 4 } << 30;

// Writes the data of one member of the archive at archivePath into a new file in folder (a
// private folder of the caller's, see PrivateTemporaryFolder) and returns its path. The file is
// named after the last component of the member's name made harmless (safeFileName), with a
// number added when the name is taken, so nothing is ever written outside folder or over another
// file. More than maxBytes of data, an encrypted or damaged member, a member that is no longer
// there: an error whose words are for the user, and no file left behind.
std::expected<std::string, platform::Error> extractMember(const std::string& archivePath, const MemberIdentity& member,
    const std::string& folder, std::uint64_t maxBytes = kMaxExtractedBytes);

} // namespace mellowby::archive
