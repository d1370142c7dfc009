#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace mellowby::digest {

// How far a run of digests is, for the tool's standard error and the window's progress text.
struct DigestProgress {
    std::uint64_t filesDone = 0;
    std::uint64_t filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    // Whether every file has been given: until then the totals grow as the walk finds more.
    bool totalsFinal = false;
    // Since reading began; 0 before anything is read.
    double bytesPerSecond = 0;
    // Only when the totals are final and a speed is known.
    std::optional<std::chrono::seconds> timeLeft;

    bool operator==(const DigestProgress&) const = default;
};

// The progress in words: "已读取 1,234 / 5,000 个文件，2.1 GB / 8.0 GB，每秒 150 MB，还需约 25 秒".
std::string progressText(const DigestProgress& progress);

// A number of bytes as people read it: "512 字节", "1.5 KB", "150 MB", "8.0 GB" (units of 1024,
// one decimal below 10).
std::string byteSizeText(std::uint64_t bytes);

} // namespace mellowby::digest
