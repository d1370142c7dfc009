#include "hardening.h"

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

namespace mellowby::hardening {
namespace {

using platform::Error;
using platform::MessageAnswer;
using platform::MessageRequest;

// The directory is in the catalog, with nothing in it: its closing line follows its opening line.
void expectEmptyDirectory(const std::string& catalogText, const std::string& title)
{
    const std::size_t at = catalogText.find("<Directory title=\"" + title + "\"");
    ASSERT_NE(at, std::string::npos) << title;
    EXPECT_EQ(catalogText.compare(catalogText.find('\n', at) + 1, 14, "</Directory>\r\n"), 0) << title;
}

const MessageRequest kOverwriteQuestion { "当前文件已存在，是否覆盖？", "生成xml文件", platform::MessageIcon::Warning,
    platform::MessageButtons::YesNo };

MessageRequest genXmlBox(const Error& error)
{
    return { "生成XML文件出错！(错误代号:" + std::to_string(error.number) + ")\r\n错误描述：" + error.description,
        "frmMain-genXml", platform::MessageIcon::Warning, platform::MessageButtons::Ok };
}

MessageRequest walkBox(const std::string& text)
{
    return { text, "Mellowby", platform::MessageIcon::None, platform::MessageButtons::Ok };
}

using fakes::FaultyFileSystem;
using fakes::HookedLister;

class ScanFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeFile(m_root / "readme.txt", "hello");
        for (const char* folder : { "a", "a/b", "a/b/c", "swap", "z" })
            makeDirectory(folder);
        writeFile(m_root / "swap/inside.txt", std::string(3000, 's'));
        writeFile(m_root / "z/last.txt", "z");
        writeOldCatalog();
    }

    void makeDirectory(const std::string& relative)
    {
        ASSERT_EQ(::mkdir((m_root / relative).c_str(), 0755), 0) << relative;
    }

    // Enough long names that the catalog spans several of the writer's blocks.
    void addBulk(std::size_t files)
    {
        makeDirectory("bulk");
        makeDirectory("bulk/中文目录");
        for (std::size_t i = 0; i < files; ++i) {
            const std::string name
                = std::to_string(i) + "-" + std::string(120, 'n') + "-文件名称-" + std::string(60, 'm');
            writeFile(m_root / ((i % 2 == 0 ? "bulk/" : "bulk/中文目录/") + name), "");
        }
    }

    void writeOldCatalog()
    {
        writeFile(m_data / "disc.xml", "old catalog");
        writeFile(m_data / "disc.idx", "old twin");
    }

    void expectOldCatalogIntact()
    {
        EXPECT_EQ(readFile(m_data / "disc.xml"), "old catalog");
        EXPECT_EQ(readFile(m_data / "disc.idx"), "old twin");
        EXPECT_EQ(folderNames(m_data.path()), (std::vector<std::string> { "disc.idx", "disc.xml" }));
    }

    std::expected<scan::ScanResult, scan::ScanFailure> scan(platform::IDirectoryLister& lister,
        platform::IFileSystem& fileSystem, const std::string& name = "disc", const std::string& root = {},
        scan::IScanObserver* observer = nullptr)
    {
        m_box.shown.clear();
        m_box.queueAnswer(MessageAnswer::Yes);
        const catalog::CatalogStore store(m_data.path(), fileSystem);
        scan::ScanContext context { store, m_settings, lister, m_box, m_dates, observer };
        return scan::genXml(context, root.empty() ? m_root.path() : root, name);
    }

    // The catalog proper that a successful scan wrote, in UTF-8.
    std::string writtenCatalog(const std::string& name = "disc") const
    {
        return tests::fromGb2312(readFile(m_data / (name + ".xml")));
    }

    TemporaryFolder m_root;
    TemporaryFolder m_data;
    app::Settings m_settings;
    platform::LinuxDirectoryLister m_lister;
    platform::LinuxFileSystem m_fileSystem;
    fakes::FakeMessageBox m_box;
    catalog::DateFormatter m_dates { "zh_CN" };
};

// A disk that fills up at any point of a real walk: every 4 KiB of the output, both files.
TEST_F(ScanFaults, DiskFullAtEveryFourKilobytes)
{
    addBulk(2800);
    // How much a complete scan writes, from a scan that succeeds.
    ASSERT_TRUE(scan(m_lister, m_fileSystem, "probe"));
    const std::uint64_t total = readFile(m_data / "probe.xml").size() + readFile(m_data / "probe.idx").size()
        + readFile(m_data / "probe.sqlite").size();
    for (const char* file : { "probe.xml", "probe.idx", "probe.sqlite" })
        std::filesystem::remove(m_data / file);
    ASSERT_GT(total, 2u * 256 * 1024); // several of the writer's blocks

    const Error full = platform::errorFromErrno(ENOSPC);
    const std::uint64_t step = scaled(4096, 16384);
    std::size_t points = 0;
    for (std::uint64_t budget = 0; budget < total; budget += step) {
        FaultyFileSystem fileSystem { m_fileSystem };
        fileSystem.failWritesAfter(budget, full);
        ++points;
        ASSERT_EQ(scan(m_lister, fileSystem).error(), scan::ScanFailure::Failed) << budget;
        EXPECT_EQ(m_box.shown, (std::vector<MessageRequest> { kOverwriteQuestion, genXmlBox(full) })) << budget;
        expectOldCatalogIntact();
        if (HasFailure())
            break;
    }
    tally().faults += points;
    std::cout << "[ faults   ] disk full at " << points << " points of a " << total << "-byte catalog\n";
}

// Every other file operation of a scan failing in turn: creating either file, flushing either to
// disk, setting the old twin aside, moving either new file into place.
TEST_F(ScanFaults, EveryFileOperationFailingInTurn)
{
    using Operation = FaultyFileSystem::Operation;
    const struct {
        Operation operation;
        int call;
        Error error;
    } faults[] = {
        { Operation::CreateFile, 1, platform::errorFromErrno(EACCES) },
        { Operation::CreateFile, 2, platform::errorFromErrno(ENOSPC) },
        { Operation::CreateFile, 1, platform::errorFromErrno(EROFS) },
        { Operation::Write, 1, platform::errorFromErrno(EIO) },
        { Operation::Write, 2, platform::errorFromErrno(EIO) },
        { Operation::Finish, 1, platform::errorFromErrno(EIO) },
        { Operation::Finish, 2, platform::errorFromErrno(ENOSPC) },
        { Operation::Rename, 1, platform::errorFromErrno(EIO) },
        { Operation::Rename, 2, platform::errorFromErrno(EIO) },
        { Operation::Rename, 3, platform::errorFromErrno(EIO) },
    };
    for (const auto& fault : faults) {
        FaultyFileSystem fileSystem { m_fileSystem };
        fileSystem.failOnCall(fault.operation, fault.call, fault.error);
        ++tally().faults;
        const std::string what = std::to_string(static_cast<int>(fault.operation)) + "#" + std::to_string(fault.call);
        ASSERT_EQ(scan(m_lister, fileSystem).error(), scan::ScanFailure::Failed) << what;
        EXPECT_EQ(m_box.shown, (std::vector<MessageRequest> { kOverwriteQuestion, genXmlBox(fault.error) })) << what;
        expectOldCatalogIntact();
    }
    // A catalog that did not exist before leaves nothing behind either.
    FaultyFileSystem fileSystem { m_fileSystem };
    fileSystem.failOnCall(Operation::Rename, 2, platform::errorFromErrno(EIO));
    ++tally().faults;
    ASSERT_EQ(scan(m_lister, fileSystem, "fresh").error(), scan::ScanFailure::Failed);
    expectOldCatalogIntact();

    // Without faults the same scan replaces the old catalog.
    ASSERT_TRUE(scan(m_lister, m_fileSystem));
    EXPECT_NE(writtenCatalog().find(">last.txt</File>"), std::string::npos);
    EXPECT_EQ(scanLeftovers(m_data.path()), std::vector<std::string> {});
}

// Directories that cannot be read: the scanned one itself, one below it, and listings that break
// off part way in many directories.
TEST_F(ScanFaults, DirectoriesThatCannotBeRead)
{
    HookedLister lister;
    lister.hook(m_root.path(), { {}, {}, platform::errorFromErrno(EACCES), {}, 0 });
    ++tally().faults;
    EXPECT_EQ(scan(lister, m_fileSystem).error(), scan::ScanFailure::RootUnreadable);
    EXPECT_EQ(m_box.shown, std::vector<MessageRequest> { kOverwriteQuestion });
    expectOldCatalogIntact();

    HookedLister locked;
    locked.hook(m_root / "a", { {}, {}, platform::errorFromErrno(EACCES), {}, 0 });
    locked.hook(m_root / "swap", { {}, {}, platform::errorFromErrno(EACCES), {}, 0 });
    tally().faults += 2;
    ASSERT_TRUE(scan(locked, m_fileSystem));
    EXPECT_EQ(m_box.shown, std::vector<MessageRequest> { kOverwriteQuestion });
    std::string text = writtenCatalog();
    expectEmptyDirectory(text, "a");
    expectEmptyDirectory(text, "swap");
    EXPECT_EQ(text.find("title=\"b\""), std::string::npos);
    EXPECT_EQ(text.find("inside.txt"), std::string::npos);
    EXPECT_NE(text.find(">last.txt</File>"), std::string::npos);
    EXPECT_NE(text.find(">readme.txt</File>"), std::string::npos);
    EXPECT_EQ(scanLeftovers(m_data.path()), std::vector<std::string> {});

    // A damaged disc: many directories whose listing breaks off with the same error. The walk
    // goes on past each, and the user is told once, not once per directory.
    for (int i = 0; i < 50; ++i)
        makeDirectory("damaged" + std::to_string(i));
    HookedLister damaged;
    for (int i = 0; i < 50; ++i)
        damaged.hook(m_root / ("damaged" + std::to_string(i)), { {}, {}, {}, platform::errorFromErrno(EIO), 0 });
    damaged.hook(m_root / "a/b", { {}, {}, {}, platform::errorFromErrno(EIO), 0 });
    tally().faults += 51;
    ASSERT_TRUE(scan(damaged, m_fileSystem));
    EXPECT_EQ(m_box.shown, (std::vector<MessageRequest> { kOverwriteQuestion, walkBox("Input/output error") }));
    text = writtenCatalog();
    EXPECT_NE(text.find("title=\"damaged49\""), std::string::npos);
    EXPECT_NE(text.find(">last.txt</File>"), std::string::npos);
    EXPECT_EQ(scanLeftovers(m_data.path()), std::vector<std::string> {});
}

// The same with the real permissions, in a child process that gives up root's right to read
// everything.
TEST_F(ScanFaults, ADirectoryWithoutReadPermission)
{
    ASSERT_EQ(::chmod(m_root.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(m_data.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod((m_data / "disc.xml").c_str(), 0666), 0);
    ASSERT_EQ(::chmod((m_data / "disc.idx").c_str(), 0666), 0);
    ASSERT_EQ(::chmod((m_root / "a").c_str(), 0), 0);
    ++tally().faults;
    const int boxes = runUnprivileged([this] {
        platform::LinuxDirectoryLister lister;
        const auto result = scan(lister, m_fileSystem);
        return result ? static_cast<int>(m_box.shown.size()) : 100;
    });
    ::chmod((m_root / "a").c_str(), 0755);
    EXPECT_EQ(boxes, 1); // the overwrite question only
    const std::string text = writtenCatalog();
    expectEmptyDirectory(text, "a");
    EXPECT_NE(text.find(">last.txt</File>"), std::string::npos);
    EXPECT_EQ(scanLeftovers(m_data.path()), std::vector<std::string> {});
}

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

// A folder that can be read but not searched: its files are written by their names, without
// size or date, and the user is told once which folder and why.
TEST_F(ScanFaults, DetailsThatCannotBeReadAreReported)
{
    ASSERT_EQ(::chmod(m_root.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(m_data.path().c_str(), 0777), 0);
    for (const char* name : { "disc.xml", "disc.idx" })
        ASSERT_EQ(::chmod((m_data / name).c_str(), 0666), 0);
    makeDirectory("sealed");
    makeDirectory("sealed/inner");
    writeFile(m_root / "sealed/one.txt", "1");
    writeFile(m_root / "sealed/two.txt", "2");
    ASSERT_EQ(::chmod((m_root / "sealed").c_str(), 0444), 0);
    ++tally().faults;
    const int boxes = runUnprivileged([this] {
        platform::LinuxDirectoryLister lister;
        const auto result = scan(lister, m_fileSystem);
        return result ? static_cast<int>(m_box.shown.size()) : 100;
    });
    ::chmod((m_root / "sealed").c_str(), 0755);
    if (boxes == 125)
        GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(boxes, 2); // the overwrite question, then the one report
    const std::string text = writtenCatalog();
    EXPECT_NE(text.find("<File CreateDate=\"\" FileSize=\"\">one.txt</File>"), std::string::npos) << text;
    EXPECT_NE(text.find("<File CreateDate=\"\" FileSize=\"\">two.txt</File>"), std::string::npos);
    expectEmptyDirectory(text, "inner");
    EXPECT_NE(text.find(">last.txt</File>"), std::string::npos);

    // The same walk in this process, to see the box itself.
    ASSERT_EQ(::chmod((m_root / "sealed").c_str(), 0444), 0);
    const int shown = runUnprivileged([this] {
        platform::LinuxDirectoryLister lister;
        (void)scan(lister, m_fileSystem);
        const std::string expected
            = "无法读取“" + (m_root / "sealed") + "”中文件的大小和日期（Permission denied），这些文件只记录了名称。";
        return m_box.shown.size() == 2 && m_box.shown[1] == walkBox(expected) ? 0 : 1;
    });
    ::chmod((m_root / "sealed").c_str(), 0755);
    EXPECT_EQ(shown, 0);
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
