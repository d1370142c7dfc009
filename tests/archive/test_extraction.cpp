// One member taken out of its archive to be opened: into the folder given and nowhere else,
// under a name that cannot climb, within a size; and the private folder that holds them.

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/codepage936.h"
#include "archive/archivelister.h"
#include "archive/archivetexts.h"
#include "archive/archivetools.h"
#include "archive/memberextraction.h"
#include "archive/membernames.h"
#include "archive/privatetemporaryfolder.h"
#include "platform/temporarynames.h"
#include "support/temporaryfolder.h"
#include "support/zipbytes.h"

namespace mellowby::archive {
namespace {

namespace fs = std::filesystem;
using tests::TemporaryFolder;
using tests::zipBytes;

std::vector<std::string> entriesOf(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::ranges::sort(names);
    return names;
}

TEST(MemberExtraction, WritesOnlyIntoItsFolderUnderNamesThatCannotClimb)
{
    TemporaryFolder folder;
    tests::writeFile(folder / "a.zip",
        zipBytes({ { "../../escape.txt", "climb" }, { "/etc/passwd", "absolute" }, { "docs/report.txt", "one" },
            { "other/report.txt", "two" }, { "..", "dots" }, { "dir/", "" } }));
    const auto listing = listArchive(folder / "a.zip");
    ASSERT_TRUE(listing.has_value());
    const std::string into = folder / "into";
    fs::create_directory(into);

    std::vector<std::string> paths;
    for (const auto& member : listing->members) {
        if (member.isDirectory) {
            const auto folderMember = extractMember(folder / "a.zip", { member.index, member.name }, into);
            ASSERT_FALSE(folderMember.has_value());
            EXPECT_EQ(folderMember.error().description, kMemberIsFolderText);
            continue;
        }
        const auto path = extractMember(folder / "a.zip", { member.index, member.name }, into);
        ASSERT_TRUE(path.has_value()) << member.name << ": " << path.error().description;
        paths.push_back(*path);
    }
    EXPECT_EQ(
        entriesOf(into), (std::vector<std::string> { "_..", "escape.txt", "passwd", "report (2).txt", "report.txt" }));
    EXPECT_EQ(entriesOf(folder.path()).size(), 7u) << "nothing beside the archive and the folder";
    EXPECT_EQ(tests::readFile(paths[0]), "climb");
    EXPECT_EQ(tests::readFile(paths[3]), "two");
    struct stat status { };
    ASSERT_EQ(::stat(paths[0].c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(MemberExtraction, RefusesWhatItCannotTakeOutWholeAndLeavesNothing)
{
    TemporaryFolder folder;
    tests::writeFile(folder / "a.zip", zipBytes({ { "big.bin", std::string(5000, 'b') }, { "small.txt", "s" } }));
    const std::string into = folder / "into";
    fs::create_directory(into);

    const auto big = extractMember(folder / "a.zip", { 0, "big.bin" }, into, 4096);
    ASSERT_FALSE(big.has_value());
    EXPECT_EQ(big.error().description, kMemberTooLargeText);
    // The archive changed since it was listed: another name at that place is not taken instead.
    const auto moved = extractMember(folder / "a.zip", { 1, "big.bin" }, into);
    ASSERT_FALSE(moved.has_value());
    EXPECT_EQ(moved.error().description, kMemberMissingText);
    EXPECT_FALSE(extractMember(folder / "a.zip", { 7, "small.txt" }, into).has_value());
    EXPECT_TRUE(entriesOf(into).empty());

    if (tests::hasTool("zip")) {
        tests::writeFile(folder / "src/secret.txt", "secret");
        tests::run("cd " + tests::quoted(folder / "src") + " && zip -q -P pw ../locked.zip secret.txt");
        const auto locked = extractMember(folder / "locked.zip", { 0, "secret.txt" }, into);
        ASSERT_FALSE(locked.has_value());
        EXPECT_EQ(locked.error().description, kMemberEncryptedText);
    }
    // A member whose data was cut off is damaged, and its partial file goes.
    const std::string whole = zipBytes({ { "cut.bin", std::string(100000, 'c') } });
    tests::writeFile(folder / "cut.zip", whole.substr(0, 50000));
    EXPECT_FALSE(extractMember(folder / "cut.zip", { 0, "cut.bin" }, into).has_value());
    EXPECT_TRUE(entriesOf(into).empty());
}

TEST(MemberExtraction, SafeFileNamesKeepTheExtensionAndStayOneName)
{
    EXPECT_EQ(safeFileName("a/b/c.txt"), "c.txt");
    EXPECT_EQ(safeFileName("C:\\dir\\x.doc"), "C:_dir_x.doc");
    EXPECT_EQ(safeFileName("a/.."), "_..");
    EXPECT_EQ(safeFileName("/"), "_");
    EXPECT_EQ(safeFileName("tab\there"), "tab_here");
    const std::string longName = std::string(300, 'x') + "中.pdf";
    const std::string cut = safeFileName(longName);
    EXPECT_LE(cut.size(), 240u);
    EXPECT_TRUE(cut.ends_with(".pdf"));
    EXPECT_TRUE(app::isValidUtf8(safeFileName(std::string(237, 'x') + "中文")));
    EXPECT_EQ(numberedFileName("report.txt", 2), "report (2).txt");
    EXPECT_EQ(numberedFileName("README", 3), "README (3)");
}

TEST(PrivateTemporaryFolder, IsPrivateGoesWithItsOwnerAndLeftoversOfEndedRunsGo)
{
    TemporaryFolder base;
    // A leftover of a run that ended (a child that has exited), one of a run still going (this
    // process's parent), and a folder of another program: only the first goes.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string ended = base / platform::temporaryNameFor("opened-members", child, 1);
    const std::string running = base / platform::temporaryNameFor("opened-members", ::getppid(), 1);
    const std::string foreign = base / platform::temporaryNameFor("other", child, 1);
    for (const auto& path : { ended, running, foreign })
        tests::writeFile(path + "/left.txt", "x");

    std::string made;
    {
        auto folder = PrivateTemporaryFolder::create(base.path());
        ASSERT_TRUE(folder.has_value()) << folder.error().description;
        made = folder->path();
        struct stat status { };
        ASSERT_EQ(::stat(made.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0700u);
        EXPECT_FALSE(fs::exists(ended));
        EXPECT_TRUE(fs::exists(running));
        EXPECT_TRUE(fs::exists(foreign));
        tests::writeFile(made + "/opened.txt", "x");
        PrivateTemporaryFolder moved = std::move(*folder);
        EXPECT_TRUE(fs::exists(made));
    }
    EXPECT_FALSE(fs::exists(made));
}

} // namespace
} // namespace mellowby::archive
