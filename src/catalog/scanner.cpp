#include "catalog/scanner.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <exception>
#include <set>
#include <unordered_map>
#include <vector>

#include <unistd.h>

#include "app/programfolder.h"
#include "app/settings.h"
#include "app/showmsg.h"
#include "catalog/catalognames.h"
#include "catalog/catalogoutput.h"
#include "catalog/datetext.h"
#include "catalog/textutils.h"
#include "catalog/xmltextencoder.h"
#include "platform/directorylister.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "platform/paths.h"

namespace mellowby::catalog {

namespace {

constexpr std::string_view kDeclaration = R"(<?xml version ="1.0" encoding ="GB2312" standalone="yes" ?>)";
constexpr std::string_view kProgramTitle = "Mellowby";
constexpr std::string_view kGenXmlSource = "frmMain-genXml";
constexpr std::string_view kGenXmlMessage = "生成XML文件出错！";
constexpr std::uint64_t kStopCheckInterval = 1024;

bool isDotEntry(const std::string& name)
{
    return name == "." || name == "..";
}

// The two new files, under names the catalog loader never picks up, removed again unless the
// scan completes and they are renamed into place.
class TemporaryPair {
public:
    TemporaryPair(platform::IFileSystem& fileSystem, std::string dataDir)
        : m_fileSystem(fileSystem)
        , m_dataDir(std::move(dataDir))
    {
    }
    ~TemporaryPair()
    {
        if (m_createdXml)
            (void)m_fileSystem.removeFile(m_xml);
        if (m_createdIdx)
            (void)m_fileSystem.removeFile(m_idx);
    }
    TemporaryPair(const TemporaryPair&) = delete;
    TemporaryPair& operator=(const TemporaryPair&) = delete;

    std::expected<CatalogOutput, platform::Error> create()
    {
        // A file left by a scan that crashed may hold a name; take the next one then.
        static std::atomic<std::uint64_t> counter = 0;
        std::expected<std::unique_ptr<platform::IOutputFile>, platform::Error> xml;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const auto stem = ".mellowby-scan-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
            m_xml = platform::joinPath(m_dataDir, stem + ".xml.tmp");
            m_idx = platform::joinPath(m_dataDir, stem + ".idx.tmp");
            m_oldIdx = platform::joinPath(m_dataDir, stem + ".old-idx.tmp");
            xml = m_fileSystem.createNewFile(m_xml);
            if (xml || xml.error().number != EEXIST)
                break;
        }
        if (!xml)
            return std::unexpected(xml.error());
        m_createdXml = true;
        auto idx = m_fileSystem.createNewFile(m_idx);
        if (!idx)
            return std::unexpected(idx.error());
        m_createdIdx = true;
        return std::expected<CatalogOutput, platform::Error>(std::in_place, std::move(*xml), std::move(*idx));
    }

    // Moves the twin, then the catalog proper, over their final names: the catalog appears last,
    // so it is never found without its twin. The old twin is set aside first and put back if the
    // catalog proper cannot follow, so that a failure leaves the old pair as it was rather than
    // the old catalog beside the new twin.
    std::expected<void, platform::Error> commit(const std::string& xmlPath, const std::string& idxPath)
    {
        const bool setAside = m_fileSystem.isFile(idxPath);
        if (setAside) {
            if (auto moved = m_fileSystem.renameFile(idxPath, m_oldIdx); !moved)
                return moved;
        }
        if (auto moved = m_fileSystem.renameFile(m_idx, idxPath); !moved) {
            if (setAside)
                (void)m_fileSystem.renameFile(m_oldIdx, idxPath);
            return moved;
        }
        m_createdIdx = false;
        if (auto moved = m_fileSystem.renameFile(m_xml, xmlPath); !moved) {
            if (setAside)
                (void)m_fileSystem.renameFile(m_oldIdx, idxPath);
            else
                (void)m_fileSystem.removeFile(idxPath);
            return moved;
        }
        m_createdXml = false;
        if (setAside)
            (void)m_fileSystem.removeFile(m_oldIdx);
        return {};
    }

private:
    platform::IFileSystem& m_fileSystem;
    std::string m_dataDir;
    std::string m_xml;
    std::string m_idx;
    std::string m_oldIdx;
    bool m_createdXml = false;
    bool m_createdIdx = false;
};

// Walks a tree depth first and writes its lines. The walk keeps its own stack instead of
// recursing, so no depth of nesting can exhaust the call stack, and it holds no directory open
// while it descends.
class CatalogWalker {
public:
    CatalogWalker(ScanContext& context, CatalogOutput& output)
        : m_context(context)
        , m_output(output)
    {
    }

    enum class Outcome { Complete, RootUnreadable, RootFailed, Stopped, WriteFailed };

    Outcome genDirXml(const std::string& root)
    {
        std::vector<Frame> stack;
        stack.push_back({ root, {}, 0 });
        const auto rootListed = m_context.lister.list(root, stack.back().entries);
        if (!hasRealEntries(stack.back().entries))
            return Outcome::RootUnreadable;
        if (!rootListed) {
            // The listing broke off part way, so the catalog could not be complete.
            showPlainBox(rootListed.error().description);
            return Outcome::RootFailed;
        }
        enterDirectory(root);

        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next == frame.entries.size()) {
                stack.pop_back();
                if (!stack.empty()) {
                    m_output.line() += "</Directory>";
                    m_output.endLineToBoth();
                }
                continue;
            }
            const platform::DirEntry& entry = frame.entries[frame.next++];
            if (entry.isDirectory) {
                if (isDotEntry(entry.name))
                    continue;
                writeDirectoryOpening(entry);
                Frame child { platform::joinPath(frame.path, entry.name), {}, 0 };
                if (auto listed = m_context.lister.list(child.path, child.entries); !listed && !child.entries.empty())
                    showPlainBox(listed.error().description);
                enterDirectory(child.path);
                stack.push_back(std::move(child));
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
        std::vector<platform::DirEntry> entries;
        std::size_t next = 0;
    };

    static bool hasRealEntries(const std::vector<platform::DirEntry>& entries)
    {
        for (const auto& entry : entries) {
            if (!isDotEntry(entry.name))
                return true;
        }
        return false;
    }

    void showPlainBox(const std::string& text)
    {
        // A damaged disc fails the same way in directory after directory; one box says it, and
        // the walk, which waits for every box, is not held up once per directory.
        if (!m_reported.insert(text).second)
            return;
        m_context.box.show(
            { text, std::string(kProgramTitle), platform::MessageIcon::None, platform::MessageButtons::Ok });
    }

    void enterDirectory(const std::string& path)
    {
        ++m_progress.directories;
        if (m_context.observer != nullptr) {
            m_progress.currentDirectory = path;
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
        line += "<Directory title=\"";
        m_encoder.append(line, entry.name);
        line += "\" CreateDate=\"";
        appendDate(line, entry);
        line += "\">";
        m_output.endLineToBoth();
        m_sinceStopCheck = kStopCheckInterval; // look at the stop request on every directory
    }

    void writeFile(const platform::DirEntry& entry)
    {
        if (!filePassesFilter(m_context.settings, extensionOf(entry.name)))
            return;
        std::string& line = m_output.line();
        line += "<File CreateDate=\"";
        appendDate(line, entry);
        line += "\" FileSize=\"";
        char digits[24];
        const auto converted = std::to_chars(std::begin(digits), std::end(digits), getFileSizeKB(entry.size));
        line.append(digits, converted.ptr);
        line += "KB\">";
        m_encoder.appendElementText(line, entry.name);
        line += "</File>";
        m_output.endLineToXml();
        ++m_progress.files;
        m_progress.bytes += entry.size;
    }

    // The upper-cased extension, in a buffer kept across files to spare an allocation per file.
    std::string_view extensionOf(const std::string& name)
    {
        const auto dot = name.rfind('.');
        m_extension.clear();
        if (dot == std::string::npos || dot == 0)
            return m_extension;
        for (std::size_t i = dot + 1; i < name.size(); ++i) {
            const char c = name[i];
            m_extension += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
        return m_extension;
    }

    // Each distinct day is formatted and encoded once; trees hold few distinct days.
    void appendDate(std::string& line, const platform::DirEntry& entry)
    {
        if (!entry.creationTime)
            return;
        const auto day = fileTimeToDate(*entry.creationTime).time_since_epoch().count();
        auto found = m_dates.find(day);
        if (found == m_dates.end()) {
            std::string encoded;
            m_encoder.append(encoded, m_context.dates.longDate(fileTimeToDate(*entry.creationTime)));
            found = m_dates.emplace(day, std::move(encoded)).first;
        }
        line += found->second;
    }

    ScanContext& m_context;
    CatalogOutput& m_output;
    XmlTextEncoder m_encoder;
    ScanProgress m_progress;
    std::unordered_map<std::int64_t, std::string> m_dates;
    std::set<std::string> m_reported;
    std::string m_extension;
    std::uint64_t m_sinceStopCheck = 0;
};

void showGenXmlError(ScanContext& context, const platform::Error& error)
{
    app::ShowMsg(context.box, std::string(kGenXmlMessage), error, std::string(kGenXmlSource));
}

std::expected<ScanResult, ScanFailure> generate(ScanContext& context, const std::string& path, const std::string& name)
{
    if (path.empty())
        return std::unexpected(ScanFailure::EmptyPath);
    if (const auto problem = catalogNameProblem(name)) {
        showGenXmlError(context, { 0, *problem });
        return std::unexpected(ScanFailure::NameRefused);
    }

    const CatalogFileNames names = catalogFileNames(name);
    const std::string& dataDir = context.dataDir;
    // A catalog whose name differs only in letter case is the same catalog.
    const std::string existingXml = app::ProgramFolder::resolveIn(dataDir, names.xmlName);
    const std::string existingIdx = app::ProgramFolder::resolveIn(dataDir, names.idxName);
    if (context.fileSystem.isVisibleFile(existingXml)) {
        const auto answer = context.box.show({ "当前文件已存在，是否覆盖？", "生成xml文件",
            platform::MessageIcon::Warning, platform::MessageButtons::YesNo });
        if (answer != platform::MessageAnswer::Yes)
            return std::unexpected(ScanFailure::OverwriteDeclined);
    }

    TemporaryPair temporary(context.fileSystem, dataDir);
    auto output = temporary.create();
    if (!output) {
        showGenXmlError(context, output.error());
        return std::unexpected(ScanFailure::Failed);
    }

    XmlTextEncoder encoder;
    std::string& line = output->line();
    line += kDeclaration;
    output->endLineToBoth();
    line += "<Disk title=\"";
    encoder.append(line, names.diskTitle);
    line += "\" Label=\"";
    encoder.append(line, path);
    line += "\">";
    output->endLineToBoth();

    CatalogWalker walker(context, *output);
    switch (walker.genDirXml(path)) {
    case CatalogWalker::Outcome::Complete:
        break;
    case CatalogWalker::Outcome::RootUnreadable:
    case CatalogWalker::Outcome::RootFailed:
        return std::unexpected(ScanFailure::RootUnreadable);
    case CatalogWalker::Outcome::Stopped:
        return std::unexpected(ScanFailure::Stopped);
    case CatalogWalker::Outcome::WriteFailed:
        showGenXmlError(context, *output->error());
        return std::unexpected(ScanFailure::Failed);
    }

    output->line() += "</Disk>";
    output->endLineToBoth();
    output->finish();
    if (output->error()) {
        showGenXmlError(context, *output->error());
        return std::unexpected(ScanFailure::Failed);
    }

    ScanResult result { walker.progress(), platform::joinPath(dataDir, names.xmlName),
        platform::joinPath(dataDir, names.idxName) };
    if (auto committed = temporary.commit(result.xmlPath, result.idxPath); !committed) {
        showGenXmlError(context, committed.error());
        return std::unexpected(ScanFailure::Failed);
    }
    // The old pair under another letter case is replaced by the new one, not kept beside it.
    if (existingXml != result.xmlPath)
        (void)context.fileSystem.removeFile(existingXml);
    if (existingIdx != result.idxPath)
        (void)context.fileSystem.removeFile(existingIdx);
    return result;
}

} // namespace

std::expected<ScanResult, ScanFailure> generateCatalog(
    ScanContext& context, const std::string& path, const std::string& name)
{
    try {
        return generate(context, path, name);
    } catch (const std::exception& failure) {
        showGenXmlError(context, { 0, failure.what() });
        return std::unexpected(ScanFailure::Failed);
    }
}

bool genXml(ScanContext& context, const std::string& path, const std::string& name)
{
    return generateCatalog(context, path, name).has_value();
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

int DeleteFile(platform::IFileSystem& fileSystem, const std::string& path)
{
    if (path.empty())
        return 0;
    const auto moved = fileSystem.moveToTrash(path);
    return moved ? 0 : (moved.error().number != 0 ? moved.error().number : -1);
}

} // namespace mellowby::catalog
