#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "archive/archivekind.h"
#include "platform/directorylister.h"

namespace mellowby::platform {
class IFileSystem;
class IReadableFile;
class IReadableFolder;
} // namespace mellowby::platform

namespace mellowby::scan {

// A folder of a walk as its files are looked at: its path, its id as the walk opened it, and the
// number of the walk's stay in it, the same for all the files of one stay and new for the next.
struct WalkedFolder {
    std::string_view path;
    platform::FileId id;
    std::uint64_t stay = 0;
};

// Looks at the files of a walk by their first bytes through their folders. A folder is opened by
// its path once for the files of one stay, and used only while it is the folder the walk listed
// (the same id): the files of one replaced since are looked for in no other, and stay plain files.
// One for each thread that looks.
class ArchiveSniffer {
public:
    explicit ArchiveSniffer(platform::IFileSystem& files);
    ~ArchiveSniffer();
    ArchiveSniffer(const ArchiveSniffer&) = delete;
    ArchiveSniffer& operator=(const ArchiveSniffer&) = delete;

    // What the first bytes of the file called name, of size bytes as the walk saw it, say it is;
    // None when it cannot be read. A file named as disc images are is read on to its volume
    // descriptors. One read of the file's start, nothing allocated, but for a disc image.
    archive::Sniffed sniff(const WalkedFolder& folder, std::string_view name, std::uint64_t size);
    // The same file opened for its listing; none when it cannot be.
    std::unique_ptr<platform::IReadableFile> open(const WalkedFolder& folder, std::string_view name);

private:
    platform::IReadableFolder* folderOf(const WalkedFolder& folder);

    platform::IFileSystem& m_files;
    std::uint64_t m_stay = 0; // of the folder kept open; 0: none yet
    std::unique_ptr<platform::IReadableFolder> m_folder; // none when it could not be opened
    std::string m_path;
    std::string m_name;
};

} // namespace mellowby::scan
