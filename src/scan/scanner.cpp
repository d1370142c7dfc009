#include "scan/scanner.h"

#include "names/catalogindexes.h"
#include "scan/catalogoutput.h"
#include "scan/scanindexer.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "app/programtitle.h"
#include "app/settings.h"
#include "app/showmsg.h"
#include "catalog/catalogformat.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "catalog/textutils.h"
#include "catalog/uppercaser.h"
#include "catalog/volumerecord.h"
#include "catalog/xmltextencoder.h"
#include "platform/directorylister.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "platform/paths.h"
#include "platform/temporarynames.h"
#include "platform/volumes.h"

namespace mellowby::scan {

using catalog::CatalogStore;
using catalog::PendingCatalog;
using catalog::UpperCaser;
using catalog::XmlTextEncoder;
using names::CatalogIndexes;
using names::NamesIndexBuilder;

namespace {

constexpr std::string_view kGenXmlSource = "frmMain-genXml";
constexpr std::string_view kGenXmlMessage = "生成XML文件出错！";
constexpr std::uint64_t kStopCheckInterval = 1024;
// Folders the walk keeps open at once: the deepest ones, through which it opens their children.
// A folder further up is opened again through its child on the way back.
constexpr std::size_t kMaxOpenFolders = 64;

// Walks a tree depth first and writes its lines. The walk keeps its own stack instead of
// recursing, so no depth of nesting can exhaust the call stack, and opens each folder through
// its parent, so no length of path can stop it.
class CatalogWalker {
public:
    CatalogWalker(ScanContext& context, CatalogOutput& output, platform::FileId dataFolder, ScanIndexer* index)
        : m_context(context)
        , m_output(output)
        , m_dataFolder(dataFolder)
        , m_index(index)
    {
    }

    enum class Outcome { Complete, RootUnreadable, RootFailed, Stopped, WriteFailed };

    Outcome genDirXml(const std::string& root)
    {
        auto rootFolder = m_context.lister.open(root);
        if (!rootFolder)
            return Outcome::RootUnreadable;
        std::vector<Frame> stack;
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
            if (entry.isDirectory) {
                writeDirectoryOpening(entry);
                stack.push_back(openChild(frame, entry));
                enterDirectory(stack.back());
                keepFewFoldersOpen(stack);
            } else {
                writeFile(entry);
            }
            if (m_output.error())
                return Outcome::WriteFailed;
            if (shouldStop())
                return Outcome::Stopped;
        }
        return m_output.error() ? Outcome::WriteFailed : Outcome::Complete;
    }

    const ScanProgress& progress() const { return m_progress; }

private:
    struct Frame {
        std::string path;
        std::unique_ptr<platform::IDirectory> folder; // let go of while deeper folders are open
        platform::FileId id;
        std::vector<platform::DirEntry> entries;
        std::size_t next = 0;
        bool isDataFolder = false;
    };

    Frame frameFor(std::string path, std::unique_ptr<platform::IDirectory> folder)
    {
        Frame frame { std::move(path), std::move(folder), {}, {}, 0, false };
        frame.id = frame.folder->id();
        frame.isDataFolder = m_dataFolder.known() && frame.id == m_dataFolder;
        return frame;
    }

    // A folder that cannot be opened (gone, no permission, no longer a folder) gives an empty
    // element; one whose listing breaks off keeps what was read, and the user is told.
    Frame openChild(Frame& parent, const platform::DirEntry& entry)
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
    void keepFewFoldersOpen(std::vector<Frame>& stack)
    {
        for (std::size_t i = 0; m_openFolders > kMaxOpenFolders && i < stack.size(); ++i) {
            if (stack[i].folder) {
                stack[i].folder.reset();
                --m_openFolders;
            }
        }
    }

    void leaveDirectory(std::vector<Frame>& stack)
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
        if (!stack.empty()) {
            appendEndTag(m_output.line(), catalog::kDirectoryElement);
            m_output.endLineToBoth();
            if (m_index != nullptr)
                m_index->leaveDirectory();
        }
    }

    // The parent's handle was let go: it is taken again through the child, and only if it is
    // still the same folder. One moved away meanwhile has its remaining folders written empty.
    void reopenParent(Frame& parent, platform::IDirectory& child)
    {
        auto reopened = child.openParent();
        if (reopened && (!parent.id.known() || (*reopened)->id() == parent.id)) {
            parent.folder = std::move(*reopened);
            ++m_openFolders;
            return;
        }
        showPlainBox("扫描时“" + parent.path + "”被移走或替换，其中还没有扫描的子目录记为空目录。");
    }

    void showPlainBox(const std::string& text)
    {
        // A damaged disc fails the same way in directory after directory; one box says it, and
        // the walk, which waits for every box, is not held up once per directory.
        if (!m_reported.insert(text).second)
            return;
        m_context.box.show({ text, app::kProgramTitle, platform::MessageIcon::None, platform::MessageButtons::Ok });
    }

    // Entries whose size and date could not be read are written by their names alone; the user
    // is told once per scan, with the first folder where it happened and why.
    void reportUnreadableDetails(const Frame& frame)
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

    void enterDirectory(const Frame& frame)
    {
        reportUnreadableDetails(frame);
        ++m_progress.directories;
        if (m_context.observer != nullptr) {
            m_progress.currentDirectory = frame.path;
            m_context.observer->onProgress(m_progress);
        }
    }

    bool shouldStop()
    {
        if (m_context.observer == nullptr)
            return false;
        if (++m_sinceStopCheck < kStopCheckInterval)
            return false;
        m_sinceStopCheck = 0;
        return m_context.observer->stopRequested();
    }

    void writeDirectoryOpening(const platform::DirEntry& entry)
    {
        std::string& line = m_output.line();
        appendOpening(line, catalog::kDirectoryElement, catalog::kTitleAttribute);
        m_encoder.append(line, entry.name);
        appendNextAttribute(line, catalog::kCreateDateAttribute);
        appendDate(line, entry);
        line += "\">";
        m_output.endLineToBoth();
        m_sinceStopCheck = kStopCheckInterval; // look at the stop request on every directory
        if (m_index != nullptr)
            m_index->enterDirectory(asRead(entry.name));
    }

    // The text a reader of the catalog reads back for what was written of text: most names are
    // printable ASCII, which reads back as it is.
    std::string_view asRead(std::string_view text)
    {
        if (std::ranges::all_of(text, [](char c) { return c >= 0x20 && c < 0x7F; }))
            return text;
        m_asRead.clear();
        XmlTextEncoder::appendAsRead(m_asRead, text);
        return m_asRead;
    }

    void writeFile(const platform::DirEntry& entry)
    {
        if (!filePassesFilter(m_context.settings, catalog::getFileExt(entry.name, m_upper)))
            return;
        std::string& line = m_output.line();
        appendOpening(line, catalog::kFileElement, catalog::kCreateDateAttribute);
        appendDate(line, entry);
        appendNextAttribute(line, catalog::kFileSizeAttribute);
        // A size that could not be read is left empty rather than written as a size of 0.
        const std::size_t sizeStart = line.size();
        if (!entry.detailsError) {
            char digits[24];
            const auto converted
                = std::to_chars(std::begin(digits), std::end(digits), catalog::getFileSizeKB(entry.size));
            line.append(digits, converted.ptr);
            line += "KB";
        }
        const std::size_t sizeEnd = line.size();
        line += "\">";
        m_encoder.appendElementText(line, entry.name);
        appendEndTag(line, catalog::kFileElement);
        if (m_index != nullptr)
            m_index->addFile(
                asRead(entry.name), std::string_view(line).substr(sizeStart, sizeEnd - sizeStart), m_dateRead);
        m_output.endLineToXml();
        ++m_progress.files;
        m_progress.bytes += entry.size;
    }

    // Each distinct day is formatted and encoded once; trees hold few distinct days. The text a
    // reader reads back is kept for the index.
    void appendDate(std::string& line, const platform::DirEntry& entry)
    {
        m_dateRead = {};
        if (!entry.creationTime)
            return;
        const auto day = catalog::fileTimeToDate(*entry.creationTime).time_since_epoch().count();
        auto found = m_dates.find(day);
        if (found == m_dates.end()) {
            const std::string text = m_context.dates.longDate(catalog::fileTimeToDate(*entry.creationTime));
            DateTexts texts;
            m_encoder.append(texts.written, text);
            XmlTextEncoder::appendAsRead(texts.read, text);
            found = m_dates.emplace(day, std::move(texts)).first;
        }
        line += found->second.written;
        m_dateRead = found->second.read;
    }

    struct DateTexts {
        std::string written;
        std::string read;
    };

    ScanContext& m_context;
    CatalogOutput& m_output;
    const platform::FileId m_dataFolder;
    ScanIndexer* m_index;
    std::string m_asRead;
    std::string_view m_dateRead; // of the entry being written; a view into m_dates
    XmlTextEncoder m_encoder;
    UpperCaser m_upper; // kept across files, so that the filter allocates nothing per file
    ScanProgress m_progress;
    std::unordered_map<std::int64_t, DateTexts> m_dates;
    std::set<std::string> m_reported;
    bool m_detailsReported = false;
    std::size_t m_openFolders = 0;
    std::uint64_t m_sinceStopCheck = 0;
};

void showGenXmlError(ScanContext& context, const platform::Error& error)
{
    app::ShowMsg(context.box, std::string(kGenXmlMessage), error, std::string(kGenXmlSource));
}

// Which folder the Data folder is, so that the walk knows it when it meets it in the tree.
platform::FileId dataFolderId(ScanContext& context)
{
    auto folder = context.lister.open(context.store.folder());
    return folder ? (*folder)->id() : platform::FileId {};
}

// The volume is identified before the walk, while it is surely the one being scanned. A path whose
// volume cannot be told (a network share) gives a catalog without a record, as before.
std::expected<void, platform::Error> recordVolume(
    ScanContext& context, PendingCatalog& pending, const std::string& path)
{
    if (context.volumes == nullptr)
        return {};
    auto place = context.volumes->placeOf(path);
    if (!place)
        return {};
    return pending.recordVolume({ std::move(place->volume), std::move(place->relativePath), path });
}

std::expected<ScanResult, ScanFailure> generate(ScanContext& context, const std::string& path, const std::string& name)
{
    if (path.empty())
        return std::unexpected(ScanFailure::EmptyPath);
    if (const auto problem = catalog::catalogNameProblem(name)) {
        showGenXmlError(context, { 0, *problem });
        return std::unexpected(ScanFailure::NameRefused);
    }
    const CatalogStore& store = context.store;
    if (store.exists(catalog::effectiveCatalogName(name))) {
        const auto answer = context.box.show({ "当前文件已存在，是否覆盖？", "生成xml文件",
            platform::MessageIcon::Warning, platform::MessageButtons::YesNo });
        if (answer != platform::MessageAnswer::Yes)
            return std::unexpected(ScanFailure::OverwriteDeclined);
    }

    // What an earlier scan left behind when its process ended before it finished.
    store.removeLeftovers();
    auto pending = store.beginCatalog(name);
    if (!pending) {
        showGenXmlError(context, pending.error());
        return std::unexpected(ScanFailure::Failed);
    }
    if (auto recorded = recordVolume(context, *pending, path); !recorded) {
        showGenXmlError(context, recorded.error());
        return std::unexpected(ScanFailure::Failed);
    }
    CatalogOutput output(pending->catalog(), pending->twin());

    XmlTextEncoder encoder;
    const std::string diskTitle = catalog::catalogFileNames(name).diskTitle;
    std::string& line = output.line();
    line += catalog::kCatalogDeclaration;
    output.endLineToBoth();
    appendOpening(line, catalog::kDiskElement, catalog::kTitleAttribute);
    encoder.append(line, diskTitle);
    appendNextAttribute(line, catalog::kLabelAttribute);
    encoder.append(line, path);
    line += "\">";
    output.endLineToBoth();

    // The names index is collected as the catalog is written, from the same entries, as a reader
    // of the catalog will read them.
    std::optional<ScanIndexer> index;
    if (context.indexes != nullptr) {
        index.emplace();
        std::string title;
        std::string label;
        XmlTextEncoder::appendAsRead(title, diskTitle);
        XmlTextEncoder::appendAsRead(label, path);
        index->beginDisk(title, label);
    }

    CatalogWalker walker(context, output, dataFolderId(context), index ? &*index : nullptr);
    switch (walker.genDirXml(path)) {
    case CatalogWalker::Outcome::Complete:
        break;
    case CatalogWalker::Outcome::RootUnreadable:
    case CatalogWalker::Outcome::RootFailed:
        return std::unexpected(ScanFailure::RootUnreadable);
    case CatalogWalker::Outcome::Stopped:
        return std::unexpected(ScanFailure::Stopped);
    case CatalogWalker::Outcome::WriteFailed:
        showGenXmlError(context, *output.error());
        return std::unexpected(ScanFailure::Failed);
    }

    appendEndTag(output.line(), catalog::kDiskElement);
    output.endLineToBoth();
    // The index is written while the catalog goes to disk.
    std::optional<CatalogIndexes::PendingIndex> keptIndex;
    if (index) {
        index->finishWith([&](NamesIndexBuilder& builder) {
            keptIndex = context.indexes->beginKeeping(catalog::catalogFileNames(name).xmlName, builder);
        });
    }
    output.finish();
    if (index) {
        try {
            index->wait();
        } catch (const std::exception&) {
            keptIndex.reset(); // the index is made when it is first needed
        }
    }
    if (output.error()) {
        showGenXmlError(context, *output.error());
        return std::unexpected(ScanFailure::Failed);
    }
    const auto committed = pending->commit();
    if (!committed) {
        showGenXmlError(context, committed.error());
        return std::unexpected(ScanFailure::Failed);
    }
    // An index that cannot be kept is no failure of the scan: it is made when it is first needed.
    if (keptIndex)
        keptIndex->complete(committed->xmlPath);
    return ScanResult { walker.progress(), committed->xmlPath, committed->idxPath };
}

} // namespace

std::expected<ScanResult, ScanFailure> genXml(ScanContext& context, const std::string& path, const std::string& name)
{
    try {
        return generate(context, path, name);
    } catch (const std::exception& failure) {
        showGenXmlError(context, { 0, failure.what() });
        return std::unexpected(ScanFailure::Failed);
    }
}

bool filePassesFilter(const app::Settings& settings, std::string_view ext)
{
    if (!settings.ifUseOption)
        return true;
    if (settings.ifYesFile)
        return !ext.empty() && settings.YesFileStr.find(ext) != std::string::npos;
    // An empty extension occurs in every non-empty list, so files without one are dropped
    // unless the exclusion list is empty.
    if (ext.empty())
        return settings.NoFileStr.empty();
    return settings.NoFileStr.find(ext) == std::string::npos;
}

bool createDir(platform::IFileSystem& fileSystem, const std::string& path)
{
    if (path.empty())
        return false;
    return fileSystem.createDirectory(platform::collapseDoubledSeparators(path)).has_value();
}

} // namespace mellowby::scan
