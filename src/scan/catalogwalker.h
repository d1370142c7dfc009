#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/directorylister.h"
#include "scan/scanner.h"

namespace mellowby::scan {

class CatalogWriter;
class ScanArchives;
class ScanDigests;
class EarlierComparison;

// Walks a tree depth first and has its entries written. The walk keeps its own stack instead of
// recursing, so no depth of nesting can exhaust the call stack, and opens each folder through its
// parent, so no length of path can stop it and a folder replaced by a symbolic link during the
// walk is not followed.
class CatalogWalker {
public:
    // dataFolder: the Data folder, whose files being written are left out when the walk meets it.
    // digests: where the regular files written go to be digested; none when the scan makes none.
    // archives: where they go to be looked at as archives; none when the scan lists none.
    // earlier: where every file written is held against the catalog this scan replaces, which
    // hands the regular files on to the digests; none when the scan replaces none.
    CatalogWalker(ScanContext& context, CatalogWriter& writer, platform::FileId dataFolder,
        ScanDigests* digests = nullptr, ScanArchives* archives = nullptr, EarlierComparison* earlier = nullptr);

    enum class Outcome { Complete, RootUnreadable, RootFailed, Stopped, WriteFailed };
    Outcome walk(const std::string& root);

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

    Frame frameFor(std::string path, std::unique_ptr<platform::IDirectory> folder) const;
    Outcome openRoot(const std::string& root, std::vector<Frame>& stack);
    void takeEntry(std::vector<Frame>& stack, const platform::DirEntry& entry);
    Frame openChild(Frame& parent, const platform::DirEntry& entry);
    void keepFewFoldersOpen(std::vector<Frame>& stack);
    void leaveDirectory(std::vector<Frame>& stack);
    void reopenParent(Frame& parent, platform::IDirectory& child);
    void showPlainBox(const std::string& text);
    void reportUnreadableDetails(const Frame& frame);
    void enterDirectory(const Frame& frame);
    bool shouldStop();

    ScanContext& m_context;
    CatalogWriter& m_writer;
    const platform::FileId m_dataFolder;
    ScanDigests* m_digests;
    ScanArchives* m_archives;
    EarlierComparison* m_earlier;
    std::string m_filePath; // of the file being handed on, its room kept
    ScanProgress m_progress;
    std::set<std::string> m_reported;
    bool m_detailsReported = false;
    std::size_t m_openFolders = 0;
    std::uint64_t m_sinceStopCheck = 0;
};

} // namespace mellowby::scan
