#include "scanfaults.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <set>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/settings.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "fakes/fakemessagebox.h"
#include "fakes/faultyfilesystem.h"
#include "fakes/hookedlister.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/temporarynames.h"
#include "scan/scanner.h"
#include "support/gb2312testtexts.h"

// Trees that change under a scan or that no path can name: links, FIFOs and sockets, entries that
// vanish, folders deeper than any path, a folder swapped for a link, the Data folder inside the tree.
namespace mellowby::hardening {
namespace {

// Entries that vanish once listed, and a directory that becomes a file before the walk gets
// into it: the walk writes what it listed and goes on.
TEST_F(ScanFaults, EntriesThatVanishOrChangeDuringTheWalk)
{
    writeFile(m_root / "vanish.txt", std::string(2000, 'v'));
    writeFile(m_root / "a/before.txt", "b");
    makeDirectory("gone");
    writeFile(m_root / "gone/never.txt", "n");
    HookedLister lister;
    lister.hook(m_root.path(),
        { {},
            [this] {
                std::filesystem::remove(m_root / "vanish.txt");
                std::filesystem::remove_all(m_root / "gone");
                // The directory becomes a file of the same name.
                std::filesystem::remove_all(m_root / "swap");
                writeFile(m_root / "swap", std::string(5000, 'f'));
            },
            {}, {}, 0 });
    lister.hook(m_root / "a", { [this] { std::filesystem::remove(m_root / "a/before.txt"); }, {}, {}, {}, 0 });
    tally().faults += 4;
    ASSERT_TRUE(scan(lister, m_fileSystem));
    EXPECT_EQ(m_box.shown, std::vector<MessageRequest> { kOverwriteQuestion });
    const std::string text = writtenCatalog();
    // A file that vanished after it was listed keeps what the listing said of it.
    EXPECT_NE(text.find("FileSize=\"2KB\">vanish.txt</File>"), std::string::npos);
    EXPECT_EQ(text.find("before.txt"), std::string::npos);
    expectEmptyDirectory(text, "gone");
    expectEmptyDirectory(text, "swap");
    EXPECT_EQ(text.find("inside.txt"), std::string::npos);
    EXPECT_EQ(text.find("never.txt"), std::string::npos);
    EXPECT_NE(text.find(">last.txt</File>"), std::string::npos);
    EXPECT_EQ(scanLeftovers(m_data.path()), std::vector<std::string> {});
}

// Symbolic links are entries of their own and never followed, so no loop of them can keep a walk
// going; FIFOs and sockets are never opened, so none can block it.
TEST_F(ScanFaults, SymbolicLinkLoopsFifosAndSockets)
{
    std::filesystem::create_directory_symlink(".", m_root / "self");
    std::filesystem::create_directory_symlink("..", m_root / "a/up");
    std::filesystem::create_directory_symlink("../../b", m_root / "a/b/c/back");
    std::filesystem::create_symlink("ring2", m_root / "ring1");
    std::filesystem::create_symlink("ring1", m_root / "ring2");
    std::filesystem::create_directory_symlink("/", m_root / "everything");
    std::filesystem::create_symlink("nowhere", m_root / "dangling");
    ASSERT_EQ(::mkfifo((m_root / "fifo").c_str(), 0644), 0);
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const std::string socketPath = m_root / "socket";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    tally().faults += 9;

    std::expected<scan::ScanResult, scan::ScanFailure> result;
    EXPECT_TRUE(finishesWithin(
        std::chrono::seconds(20), [&] { result = scan(m_lister, m_fileSystem); },
        [this] { releaseFifoReader(m_root / "fifo"); }));
    ::close(listening);
    ASSERT_TRUE(result);
    EXPECT_EQ(m_box.shown, std::vector<MessageRequest> { kOverwriteQuestion });
    EXPECT_EQ(result->totals.directories, 6u); // the root, a, a/b, a/b/c, swap, z
    const std::string text = writtenCatalog();
    for (const char* link : { "self", "up", "back", "ring1", "ring2", "everything", "dangling", "fifo", "socket" })
        EXPECT_NE(text.find(">" + std::string(link) + "</File>"), std::string::npos) << link;
    EXPECT_EQ(scanLeftovers(m_data.path()), std::vector<std::string> {});
}

// A chain of folders named name, depth levels deep below base, made and taken down through
// descriptors and short renames: its paths are longer than any the system accepts.
void makeChain(const std::string& base, const std::string& name, std::size_t depth, bool fileAtEachLevel)
{
    int folder = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    for (std::size_t level = 0; level < depth; ++level) {
        ASSERT_EQ(::mkdirat(folder, name.c_str(), 0755), 0) << level;
        const int child = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(folder);
        ASSERT_GE(child, 0) << level;
        folder = child;
        if (fileAtEachLevel) {
            const int file
                = ::openat(folder, ("f" + std::to_string(level)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            ASSERT_GE(file, 0);
            ::close(file);
        }
    }
    ::close(folder);
}

void removeChain(const std::string& base, const std::string& name)
{
    const std::string top = base + "/" + name;
    const std::string below = top + "/" + name;
    const std::string spare = base + "/spare";
    // The level below the top moves up in its place, one level at a time.
    while (std::filesystem::exists(below)) {
        std::filesystem::rename(below, spare);
        std::filesystem::remove_all(top);
        std::filesystem::rename(spare, top);
    }
    std::filesystem::remove_all(top);
}

std::size_t openDescriptors()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// Watches the descriptors the walk holds open while it goes down and back up.
class DescriptorWatch final : public scan::IScanObserver {
public:
    void onProgress(const scan::ScanProgress& progress) override
    {
        if (progress.directories % 500 == 0)
            most = std::max(most, openDescriptors());
    }
    bool stopRequested() override { return false; }
    std::size_t most = 0;
};

// Opening each folder through its parent: no length of path stops the walk, and the number of
// folders held open stays small at any depth.
TEST_F(ScanFaults, TreesDeeperThanAnyPathAreWalkedWhole)
{
    TemporaryFolder tree;
    makeChain(tree.path(), std::string(200, 'n'), 25, true); // 5000-byte paths, past PATH_MAX
    ASSERT_TRUE(scan(m_lister, m_fileSystem, "deep", tree.path()));
    std::string text = writtenCatalog("deep");
    std::size_t directories = 0;
    std::size_t files = 0;
    for (std::size_t at = 0; (at = text.find("<Directory title=", at)) != std::string::npos; ++at)
        ++directories;
    for (std::size_t at = 0; (at = text.find("<File ", at)) != std::string::npos; ++at)
        ++files;
    EXPECT_EQ(directories, 25u);
    EXPECT_EQ(files, 25u);
    EXPECT_NE(text.find(">f24</File>"), std::string::npos);
    EXPECT_EQ(m_box.shown, std::vector<MessageRequest> {});
    removeChain(tree.path(), std::string(200, 'n'));

    const std::size_t depth = scaled(20000, 5000);
    makeChain(tree.path(), "d", depth, false);
    makeChain(tree.path(), "e", 3, true); // walked after the deep chain, from the root
    DescriptorWatch watch;
    const std::size_t before = openDescriptors();
    const auto result = scan(m_lister, m_fileSystem, "deeper", tree.path(), &watch);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->totals.directories, depth + 4);
    EXPECT_LT(watch.most, before + 80);
    text = readFile(m_data / "deeper.xml");
    EXPECT_NE(text.find(">f2</File>"), std::string::npos);
    removeChain(tree.path(), "d");
    ++tally().faults;
}

// A folder swapped for a symbolic link after its parent was listed is not followed: what the link
// points to is catalogued once, where it really lies.
TEST_F(ScanFaults, AFolderSwappedForALinkIsNotFollowed)
{
    HookedLister lister;
    lister.hook(m_root.path(),
        { {},
            [this] {
                std::filesystem::remove_all(m_root / "a");
                std::filesystem::create_directory_symlink("z", m_root / "a");
            },
            {}, {}, 0 });
    ++tally().faults;
    ASSERT_TRUE(scan(lister, m_fileSystem));
    const std::string text = writtenCatalog();
    expectEmptyDirectory(text, "a");
    EXPECT_EQ(text.find(">last.txt</File>"), text.rfind(">last.txt</File>"));
}

// A scan of a tree that holds the Data folder writes no row for the files it is writing itself, and
// what a scan that died left there is gone first.
TEST_F(ScanFaults, ATreeHoldingTheDataFolder)
{
    TemporaryFolder tree;
    const std::string data = tree / "Data";
    std::filesystem::create_directory(data);
    writeFile(tree / "photo.jpg", "x");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    writeFile(data + "/" + platform::temporaryNameFor("old.xml", child, 3), "left by a crash");

    const catalog::CatalogStore store(data, m_fileSystem);
    scan::ScanContext context { store, m_settings, m_lister, m_box, m_dates, nullptr };
    ASSERT_TRUE(scan::genXml(context, tree.path(), "self"));
    const std::string text = readFile(data + "/self.xml");
    EXPECT_NE(text.find(">photo.jpg</File>"), std::string::npos);
    EXPECT_EQ(text.find(".tmp</File>"), std::string::npos) << text;
    EXPECT_EQ(folderNames(data), (std::vector<std::string> { "self.idx", "self.sqlite", "self.xml" }));
}

} // namespace
} // namespace mellowby::hardening
