#include "scan/catalogwalker.h"

#include "app/programtitle.h"
#include "platform/messagebox.h"
#include "platform/paths.h"
#include "platform/temporarynames.h"
#include "scan/catalogwriter.h"
#include "scan/earliercomparison.h"
#include "scan/scanarchives.h"
#include "scan/scandigests.h"

namespace mellowby::scan {

namespace {

constexpr std::uint64_t kStopCheckInterval = 1024;
// Folders the walk keeps open at once: the deepest ones, through which it opens their children.
// A folder further up is opened again through its child on the way back.
constexpr std::size_t kMaxOpenFolders = 64;

} // namespace

CatalogWalker::CatalogWalker(ScanContext& context, CatalogWriter& writer, platform::FileId dataFolder,
    ScanDigests* digests, ScanArchives* archives, EarlierComparison* earlier)
    : m_context(context)
    , m_writer(writer)
    , m_dataFolder(dataFolder)
    , m_digests(digests)
    , m_archives(archives)
    , m_earlier(earlier)
{
}

CatalogWalker::Outcome CatalogWalker::walk(const std::string& root)
{
    std::vector<Frame> stack;
    if (const Outcome opened = openRoot(root, stack); opened != Outcome::Complete)
        return opened;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.entries.size()) {
            leaveDirectory(stack);
            continue;
        }
        const platform::DirEntry& entry = frame.entries[frame.next++];
        // A scan of a tree that holds the Data folder must not record the files it is writing.
        if (frame.isDataFolder && platform::writerOfTemporaryName(entry.name))
            continue;
        takeEntry(stack, entry);
        if (m_writer.failed())
            return Outcome::WriteFailed;
        if (shouldStop())
            return Outcome::Stopped;
    }
    return m_writer.failed() ? Outcome::WriteFailed : Outcome::Complete;
}

CatalogWalker::Outcome CatalogWalker::openRoot(const std::string& root, std::vector<Frame>& stack)
{
    auto rootFolder = m_context.lister.open(root);
    if (!rootFolder)
        return Outcome::RootUnreadable;
    stack.push_back(frameFor(root, std::move(*rootFolder)));
    Frame& top = stack.back();
    const auto rootListed = top.folder->list(top.entries);
    if (top.entries.empty())
        return Outcome::RootUnreadable;
    if (!rootListed) {
        // The listing broke off part way, so the catalog could not be complete.
        showPlainBox(rootListed.error().description);
        return Outcome::RootFailed;
    }
    m_openFolders = 1;
    enterDirectory(top);
    return Outcome::Complete;
}

// A folder is written and entered at once; its entries follow before its siblings'.
void CatalogWalker::takeEntry(std::vector<Frame>& stack, const platform::DirEntry& entry)
{
    if (entry.isDirectory) {
        m_writer.openDirectory(entry);
        m_sinceStopCheck = kStopCheckInterval; // look at the stop request on every directory
        stack.push_back(openChild(stack.back(), entry));
        enterDirectory(stack.back());
        keepFewFoldersOpen(stack);
    } else if (m_writer.addFile(entry)) {
        ++m_progress.files;
        m_progress.bytes += entry.size;
        const std::int64_t row = m_writer.lastFileRow();
        if (m_earlier != nullptr)
            m_earlier->add(stack.back().path, entry, row);
        if (!ScanDigests::digestible(entry))
            return;
        if (m_digests != nullptr && m_earlier == nullptr) {
            platform::joinPathInto(m_filePath, stack.back().path, entry.name);
            m_digests->add(m_filePath, entry.size, entry.modifiedNs, row);
        }
        if (m_archives != nullptr)
            m_archives->add(stack.back().path, stack.back().id, entry, row);
    }
}

CatalogWalker::Frame CatalogWalker::frameFor(std::string path, std::unique_ptr<platform::IDirectory> folder) const
{
    Frame frame { std::move(path), std::move(folder), {}, {}, 0, false };
    frame.id = frame.folder->id();
    frame.isDataFolder = m_dataFolder.known() && frame.id == m_dataFolder;
    return frame;
}

// A folder that cannot be opened (gone, no permission, no longer a folder) gives an empty
// element; one whose listing breaks off keeps what was read, and the user is told.
CatalogWalker::Frame CatalogWalker::openChild(Frame& parent, const platform::DirEntry& entry)
{
    std::string path = platform::joinPath(parent.path, entry.name);
    if (!parent.folder)
        return { std::move(path), nullptr, {}, {}, 0, false };
    auto opened = parent.folder->openChild(entry.name);
    if (!opened)
        return { std::move(path), nullptr, {}, {}, 0, false };
    Frame child = frameFor(std::move(path), std::move(*opened));
    ++m_openFolders;
    if (auto listed = child.folder->list(child.entries); !listed)
        showPlainBox(listed.error().description);
    return child;
}

// Lets go of the shallowest open folders while more than a few are open.
void CatalogWalker::keepFewFoldersOpen(std::vector<Frame>& stack)
{
    for (std::size_t i = 0; m_openFolders > kMaxOpenFolders && i < stack.size(); ++i) {
        if (stack[i].folder) {
            stack[i].folder.reset();
            --m_openFolders;
        }
    }
}

void CatalogWalker::leaveDirectory(std::vector<Frame>& stack)
{
    Frame& done = stack.back();
    if (stack.size() >= 2) {
        Frame& parent = stack[stack.size() - 2];
        if (!parent.folder && done.folder)
            reopenParent(parent, *done.folder);
    }
    if (done.folder)
        --m_openFolders;
    stack.pop_back();
    if (!stack.empty())
        m_writer.closeDirectory();
}

// The parent's handle was let go: it is taken again through the child, and only if it is still
// the same folder. One moved away meanwhile has its remaining folders written empty.
void CatalogWalker::reopenParent(Frame& parent, platform::IDirectory& child)
{
    auto reopened = child.openParent();
    if (reopened && (!parent.id.known() || (*reopened)->id() == parent.id)) {
        parent.folder = std::move(*reopened);
        ++m_openFolders;
        return;
    }
    showPlainBox("扫描时“" + parent.path + "”被移走或替换，其中还没有扫描的子目录记为空目录。");
}

void CatalogWalker::showPlainBox(const std::string& text)
{
    // A damaged disc fails the same way in directory after directory; one box says it, and the
    // walk, which waits for every box, is not held up once per directory.
    if (!m_reported.insert(text).second)
        return;
    m_context.box.show({ text, app::kProgramTitle, platform::MessageIcon::None, platform::MessageButtons::Ok });
}

// Entries whose size and date could not be read are written by their names alone; the user is
// told once per scan, with the first folder where it happened and why.
void CatalogWalker::reportUnreadableDetails(const Frame& frame)
{
    if (m_detailsReported)
        return;
    for (const auto& entry : frame.entries) {
        if (entry.detailsError) {
            m_detailsReported = true;
            showPlainBox("无法读取“" + frame.path + "”中文件的大小和日期（" + entry.detailsError->description
                + "），这些文件只记录了名称。");
            return;
        }
    }
}

void CatalogWalker::enterDirectory(const Frame& frame)
{
    reportUnreadableDetails(frame);
    ++m_progress.directories;
    if (m_context.observer != nullptr) {
        m_progress.currentDirectory = frame.path;
        if (m_digests != nullptr)
            m_progress.digests = m_digests->progress();
        m_context.observer->onProgress(m_progress);
    }
}

bool CatalogWalker::shouldStop()
{
    if (m_context.observer == nullptr)
        return false;
    if (++m_sinceStopCheck < kStopCheckInterval)
        return false;
    m_sinceStopCheck = 0;
    return m_context.observer->stopRequested();
}

} // namespace mellowby::scan
