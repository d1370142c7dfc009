#pragma once

#include "platform/filesystem.h"
#include "platform/linux/replacementcalls.h"

namespace mellowby::platform {

class LinuxFileSystem final : public IFileSystem {
public:
    // calls: how replacements reach the disk (the system's own but in tests).
    explicit LinuxFileSystem(IReplacementCalls& calls = systemReplacementCalls());

    std::expected<std::optional<std::string>, Error> readWholeFile(
        const std::string& path, std::size_t maxSize) override;
    std::expected<std::unique_ptr<IReplacement>, Error> beginReplacement(const std::string& path) override;
    std::expected<std::unique_ptr<IReplacement>, Error> beginCacheReplacement(const std::string& path) override;
    std::expected<std::unique_ptr<IScratchFile>, Error> createScratchFile(const std::string& folder) override;
    std::expected<std::unique_ptr<IReadableFile>, Error> openForReading(const std::string& path) override;
    std::expected<std::unique_ptr<IReadableFolder>, Error> openFolder(const std::string& path) override;
    std::expected<FileStamp, Error> stampOf(const std::string& path) override;
    std::expected<std::string, Error> canonicalPath(const std::string& path) override;
    std::expected<std::vector<FolderEntry>, Error> listFolder(const std::string& path) override;
    std::expected<void, Error> createDirectory(const std::string& path) override;
    std::expected<void, Error> renameFile(const std::string& from, const std::string& to) override;
    std::expected<void, Error> removeFile(const std::string& path) override;
    bool isFile(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    std::expected<void, Error> moveToTrash(const std::string& path) override;
    void removeAbandonedReplacements(const std::string& folder) override;
    std::unique_ptr<IFolderLock> lockFolder(const std::string& folder) override;

private:
    std::expected<std::unique_ptr<IReplacement>, Error> startReplacement(const std::string& path, bool durable);

    IReplacementCalls& m_calls;
};

} // namespace mellowby::platform
