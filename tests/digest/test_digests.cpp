// Digests held against the tools that check them, over real files of the sizes where pieces
// begin and end.

#include "digesttesting.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <memory>

#include "digest/readingplan.h"

namespace mellowby::tests {
namespace {

using digest::DigestAlgorithm;

class DigestsAgainstTools : public ::testing::TestWithParam<platform::StorageKind> { };

TEST_P(DigestsAgainstTools, EverySizeWherePiecesBeginAndEnd)
{
    // A limit that gives the smallest buffers, so that "one buffer" is small.
    const std::size_t memoryLimit = 1024 * 1024;
    const std::size_t buffer = digest::planFor(GetParam(), memoryLimit, 2).bufferSize;
    TemporaryFolder dir;
    const std::map<std::string, std::string> contents {
        { "empty", "" },
        { "one byte", "x" },
        { "one buffer", randomBytes(buffer, 1) },
        { "one buffer and one", randomBytes(buffer + 1, 2) },
        { "several MiB", randomBytes(5 * 1024 * 1024 + 17, 3) },
    };
    std::vector<std::string> paths;
    for (const auto& [name, bytes] : contents) {
        writeFile(dir / name, bytes);
        paths.push_back(dir / name);
    }

    for (const auto& [algorithm, tool] :
        { std::pair(DigestAlgorithm::Xxh128, "xxhsum -H2"), std::pair(DigestAlgorithm::Sha256, "sha256sum") }) {
        SCOPED_TRACE(tool);
        const auto expected = toolDigests(tool, paths);
        ASSERT_EQ(expected.size(), paths.size()) << "is " << tool << " installed?";
        platform::LinuxFileReading reading;
        const auto outcomes = digestAll(reading, filesToDigest(paths),
            { .algorithm = algorithm, .memoryLimit = memoryLimit, .storage = GetParam(), .cores = 2 });
        EXPECT_EQ(outcomes.summary.end, digest::RunEnd::Complete);
        for (const auto& path : paths) {
            const auto& outcome = outcomes.at(path);
            ASSERT_EQ(outcome.status, digest::FileStatus::Digested) << path;
            EXPECT_EQ(outcome.digest->text(), expected.at(path)) << path;
            EXPECT_EQ(outcome.digest->bytes().size(), digest::digestSize(algorithm));
        }
        EXPECT_EQ(outcomes.progress.filesDone, paths.size());
        EXPECT_EQ(outcomes.progress.bytesDone, outcomes.progress.bytesTotal);
    }
}

// One reader in the order of the data, and several at once.
INSTANTIATE_TEST_SUITE_P(Devices, DigestsAgainstTools,
    ::testing::Values(platform::StorageKind::Rotational, platform::StorageKind::Solid),
    [](const ::testing::TestParamInfo<platform::StorageKind>& kind) {
        return kind.param == platform::StorageKind::Rotational ? "OneReaderInDataOrder" : "SeveralReaders";
    });

TEST(DigestAlgorithm, NamesBothWays)
{
    EXPECT_EQ(digest::algorithmNamed("SHA256"), DigestAlgorithm::Sha256);
    EXPECT_EQ(digest::algorithmNamed("xxh128"), DigestAlgorithm::Xxh128);
    EXPECT_EQ(digest::algorithmNamed("md5"), std::nullopt);
    EXPECT_EQ(digest::algorithmName(DigestAlgorithm::Sha256), "sha256");
}

} // namespace
} // namespace mellowby::tests
