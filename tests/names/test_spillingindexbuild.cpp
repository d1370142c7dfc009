// A names index made with what grows with the files in scratch files: the same bytes as one made
// in memory, in memory that does not grow with the files, and a scratch file that cannot be had
// or written fails the index rather than giving a wrong one.

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "fakes/faultyfilesystem.h"
#include "names/namesindexbuilder.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/stringindexsink.h"
#include "support/temporaryfolder.h"

namespace mellowby::names {
namespace {

using StringSink = tests::StringIndexSink;

const IndexKey kKey { "/data", "disc.xml", { 1, 2, 3, 4, 5 } };

// Folders with files before and after a subfolder of their own (a folder's files in two runs),
// names whose upper case is not letter by letter, sizes and dates shared by many files. The most
// memory the builder held after any folder.
std::size_t feed(NamesIndexBuilder& builder, int folders)
{
    std::size_t most = 0;
    builder.beginDisk("disc", "/media/disc");
    for (int folder = 0; folder < folders; ++folder) {
        builder.enterDirectory("folder " + std::to_string(folder));
        for (int file = 0; file < 400; ++file) {
            const std::string name = (file % 3 == 0 ? "Straße " : "photo ") + std::to_string(folder * 1000 + file);
            builder.addFile(name + ".jpg", std::to_string(file % 13) + "KB", "2004年5月1日");
            if (file == 200) {
                builder.enterDirectory("inner");
                builder.addFile("inner.txt", "1KB", "2004年5月2日");
                builder.leaveDirectory();
            }
        }
        builder.leaveDirectory();
        most = std::max(most, builder.heldBytes());
    }
    builder.addFile("last at the root.txt", "0KB", "2004年5月3日");
    return most;
}

class SpillingIndexBuild : public ::testing::Test {
protected:
    SpillSpace space(platform::IFileSystem& fileSystem) const { return { &fileSystem, m_folder.path(), 4096 }; }

    tests::TemporaryFolder m_folder;
    platform::LinuxFileSystem m_realFileSystem;
    fakes::FaultyFileSystem m_fileSystem { m_realFileSystem };
};

TEST_F(SpillingIndexBuild, SameBytesInMemoryThatDoesNotGrowWithTheFiles)
{
    NamesIndexBuilder inMemory;
    const std::size_t inMemoryHeld = feed(inMemory, 240);
    NamesIndexBuilder spilling(space(m_fileSystem));
    const std::size_t spillingHeld = feed(spilling, 240);
    // 96,000 files: megabytes in memory; spilled, a few pieces of 64 KB and the folders, which a
    // quarter of the files take barely less of.
    EXPECT_GT(inMemoryHeld, 4'000'000u);
    EXPECT_LT(spillingHeld, inMemoryHeld / 6) << spillingHeld << " of " << inMemoryHeld;
    NamesIndexBuilder fewer(space(m_fileSystem));
    EXPECT_GT(feed(fewer, 60) + 64 * 1024, spillingHeld);

    StringSink made;
    StringSink spilled;
    ASSERT_TRUE(inMemory.write(kKey, made));
    ASSERT_TRUE(spilling.write(kKey, spilled));
    EXPECT_EQ(spilled.written.size(), made.written.size());
    EXPECT_TRUE(spilled.written == made.written); // not printed: binary
    // Scratch files leave nothing behind.
    EXPECT_TRUE(std::filesystem::is_empty(m_folder.path()));
}

TEST_F(SpillingIndexBuild, AScratchFileThatCannotBeHadOrWrittenFailsTheIndex)
{
    const platform::Error full = platform::errorFromErrno(ENOSPC);
    m_fileSystem.failOnCall(fakes::FaultyFileSystem::Operation::CreateFile, 2, full);
    NamesIndexBuilder cannotCreate(space(m_fileSystem));
    feed(cannotCreate, 10);
    StringSink sink;
    const auto created = cannotCreate.write(kKey, sink);
    ASSERT_FALSE(created);
    EXPECT_EQ(created.error().number, ENOSPC);

    m_fileSystem.failOnCall(fakes::FaultyFileSystem::Operation::CreateFile, 0, full);
    m_fileSystem.failWritesAfter(20'000, full);
    NamesIndexBuilder diskFills(space(m_fileSystem));
    feed(diskFills, 10);
    const auto written = diskFills.write(kKey, sink);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().number, ENOSPC);
}

} // namespace
} // namespace mellowby::names
