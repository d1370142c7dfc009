#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mellowby::verify {

// What became of a file of a catalog on its disc.
enum class Verdict : std::uint8_t {
    Ok, // as the catalog has it
    Rotten, // the same size and modification time, other contents: the data decayed
    Modified, // another size or modification time
    Missing, // in the catalog, not on the disc
    Added, // on the disc (and let through by the scan's filter), not in the catalog
    Unreadable, // reading it failed
};
inline constexpr std::size_t kVerdictCount = 6;

// The word the tool prints and the window shows: "完好", "损坏", "已修改", "缺失", "新增", "无法读取".
std::string_view verdictText(Verdict verdict);

// One file's verdict as the tool prints it and a window lists it.
struct VerdictRow {
    std::string name; // the file's name
    Verdict verdict = Verdict::Ok;
    std::string location; // its path on the disc where it is mounted now (or would be)
    std::string detail; // what differs, where reading failed
};

// The row of the catalog's file at below (below the scanned folder, each name after a "/":
// "/sub/a.txt"), on the disc scanned or mounted at root now.
VerdictRow rowBelow(std::string_view below, Verdict verdict, const std::string& root, std::string detail = {});

// How many files got each verdict.
struct VerdictCounts {
    std::array<std::uint64_t, kVerdictCount> counts {};

    void add(Verdict verdict, std::uint64_t files = 1) { counts[static_cast<std::size_t>(verdict)] += files; }
    std::uint64_t of(Verdict verdict) const { return counts[static_cast<std::size_t>(verdict)]; }
    // Whether every file was found as the catalog has it.
    bool allOk() const;
    // "完好 12，损坏 1，已修改 0，缺失 0，新增 2，无法读取 0".
    std::string text() const;
};

} // namespace mellowby::verify
