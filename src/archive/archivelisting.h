#pragma once

#include <chrono>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mellowby::archive {

// How far an archive could be listed. Its words for the user are statusText() (archivetexts.h).
enum class ArchiveStatus {
    Intact, // every member listed
    Encrypted, // members' data encrypted; their names, sizes and times were readable
    NamesUnreadable, // the names themselves are encrypted (7z -mhe, rar -hp): nothing listed
    Damaged, // broken or cut short: the members listed before the fault are kept
    OverLimit, // more members or more time than allowed: the members listed so far are kept
};

// A time as an archive records it: seconds since 1970-01-01 UTC and, where the format keeps them,
// nanoseconds (0 where it does not).
struct MemberTime {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;

    auto operator<=>(const MemberTime&) const = default;
};

inline constexpr std::uint32_t kTopFolder = 0;

// One entry of an archive, in the order the archive holds them.
struct Member {
    // The whole path as the archive's maker wrote it, as UTF-8 where it could be decoded (else
    // the bytes as they are): a name to show, never a path to write to.
    std::string name;
    // Where it stands among the archive's entries (0 for the first): with the name, what
    // extractMember() finds it by.
    std::uint64_t index = 0;
    // Its place in the tree: the folder it lies in and its own name there. See FolderTree for
    // the rule; a folder entry is also a folder of the tree, `self`.
    std::uint32_t folder = kTopFolder;
    std::string leaf;
    bool isDirectory = false;
    std::uint32_t self = kTopFolder; // for a folder entry: its folder in the tree
    std::optional<std::uint64_t> size; // as declared: never measured by decompressing
    std::optional<MemberTime> modified;
    bool encrypted = false;
};

// A folder of the tree the members' paths make, whether the archive has an entry for it or only
// names it in the path of a member (a/b/c.txt makes a and a/b).
struct TreeFolder {
    std::string name; // empty for the top
    std::uint32_t parent = kTopFolder; // the top is its own parent
    std::optional<std::size_t> entry; // the position in members of its own entry, if it has one
};

struct ArchiveListing {
    ArchiveStatus status = ArchiveStatus::Intact;
    std::string format; // libarchive's name for the format, as "ZIP 2.0 (deflation)"
    std::vector<Member> members;
    std::vector<TreeFolder> folders; // [kTopFolder] is the top; parents come before children
    // libarchive's own words for a fault or a limit (English, for a log; never shown as is).
    std::string problem;
};

// The bounds that keep one archive from holding up a scan or filling memory: after maxMembers
// members, once their names take maxNameBytes, or once maxTime has passed on the clock, listing
// stops with ArchiveStatus::OverLimit. The clock is asked between members and whenever
// libarchive reads, so one member that is slow to skip is cut off too.
struct ListingLimits {
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    std::size_t maxMembers = 100'000;
    std::size_t maxNameBytes = 64 << 20;
    std::chrono::steady_clock::duration maxTime = std::chrono::seconds(10);
    Clock clock = [] { return std::chrono::steady_clock::now(); };
};

} // namespace mellowby::archive
