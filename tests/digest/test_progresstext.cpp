#include <gtest/gtest.h>

#include "digest/digestprogress.h"

namespace mellowby::tests {
namespace {

using digest::byteSizeText;
using digest::DigestProgress;
using digest::progressText;

TEST(ProgressText, SaysFilesBytesSpeedAndTimeLeft)
{
    DigestProgress progress { .filesDone = 1234,
        .filesTotal = 5000,
        .bytesDone = 2254857830,
        .bytesTotal = 8589934592,
        .totalsFinal = true,
        .bytesPerSecond = 157286400,
        .timeLeft = std::chrono::seconds(25) };
    EXPECT_EQ(progressText(progress), "已读取 1,234 / 5,000 个文件，2.1 GB / 8.0 GB，每秒 150 MB，还需约 25 秒");

    progress.timeLeft = std::chrono::seconds(150);
    EXPECT_EQ(progressText(progress), "已读取 1,234 / 5,000 个文件，2.1 GB / 8.0 GB，每秒 150 MB，还需约 3 分钟");
    progress.timeLeft = std::chrono::seconds(3600 + 20 * 60 + 10);
    EXPECT_TRUE(progressText(progress).ends_with("还需约 1 小时 20 分钟"));
    progress.timeLeft = std::chrono::seconds(7200);
    EXPECT_TRUE(progressText(progress).ends_with("还需约 2 小时"));

    // While the walk still finds files the totals grow: no time left can be told.
    progress.totalsFinal = false;
    progress.timeLeft.reset();
    EXPECT_EQ(progressText(progress), "已读取 1,234 / 5,000 个文件（仍在查找），2.1 GB / 8.0 GB，每秒 150 MB");
    // Nothing read yet: no speed.
    DigestProgress started;
    started.filesTotal = 1234567;
    started.bytesTotal = 512;
    EXPECT_EQ(progressText(started), "已读取 0 / 1,234,567 个文件（仍在查找），0 字节 / 512 字节");
}

TEST(ProgressText, SizesOneDecimalBelowTenAndNeverAThousandAndTwentyFour)
{
    EXPECT_EQ(byteSizeText(1023), "1023 字节");
    EXPECT_EQ(byteSizeText(1024), "1.0 KB");
    EXPECT_EQ(byteSizeText(10 * 1024), "10 KB");
    EXPECT_EQ(byteSizeText(1024 * 1024 - 1), "1.0 MB");
    EXPECT_EQ(byteSizeText(1023 * 1024), "1023 KB");
    EXPECT_EQ(byteSizeText(10188), "9.9 KB");
    EXPECT_EQ(byteSizeText(10200), "10 KB");
    EXPECT_EQ(byteSizeText(5ULL << 40), "5.0 TB");
}

} // namespace
} // namespace mellowby::tests
