#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/filesystem.h"

namespace mellowby::fakes {

// Passes every operation to a real file system, but can make writes fail once a number of bytes
// has been written in total (a disk filling up), make renames (a replacement's commit included)
// fail, make the commits of some replacements fail, make reads fail, or make one operation fail
// on its n-th call.
class FaultyFileSystem final : public platform::IFileSystem {
public:
    // The operations failOnCall counts. A replacement's commit is a rename; a commit that comes
    // before the replacement was finished counts as a finish too.
    enum class Operation { CreateFile, Write, Finish, Rename };

    explicit FaultyFileSystem(platform::IFileSystem& real)
        : m_real(real)
    {
    }

    void failWritesAfter(std::uint64_t bytes, platform::Error error)
    {
        m_writeBudget = bytes;
        m_writeError = std::move(error);
    }
    void failRenames(platform::Error error) { m_renameError = std::move(error); }
    // The call-th call of operation (counted from 1, over every file) fails with error.
    void failOnCall(Operation operation, int call, platform::Error error)
    {
        m_callFailure = CallFailure { operation, call, std::move(error) };
    }
    // Commits of replacements of files whose path ends in suffix fail with error.
    void failCommitsOf(std::string suffix, platform::Error error)
    {
        m_commitSuffix = std::move(suffix);
        m_commitError = std::move(error);
    }
    void failCreateDirectory(platform::Error error) { m_createDirectoryError = std::move(error); }
    // hook runs before every folder is opened for reading its files, on the thread that opens it.
    void beforeFolderOpens(std::function<void()> hook) { m_beforeFolderOpens = std::move(hook); }
    // hook runs with the path before every file is opened for reading.
    void beforeFileOpens(std::function<void(const std::string&)> hook) { m_beforeFileOpens = std::move(hook); }
    // Reads (and mappings) of files whose path ends in suffix fail with error.
    void failReads(std::string suffix, platform::Error error)
    {
        m_readSuffix = std::move(suffix);
        m_readError = std::move(error);
    }

    std::expected<std::optional<std::string>, platform::Error> readWholeFile(
        const std::string& path, std::size_t maxSize) override;
    std::expected<std::unique_ptr<platform::IReplacement>, platform::Error> beginReplacement(
        const std::string& path) override;
    std::expected<std::unique_ptr<platform::IReplacement>, platform::Error> beginCacheReplacement(
        const std::string& path) override;
    std::expected<std::unique_ptr<platform::IScratchFile>, platform::Error> createScratchFile(
        const std::string& folder) override;
    std::expected<std::unique_ptr<platform::IReadableFile>, platform::Error> openForReading(
        const std::string& path) override;
    std::expected<std::unique_ptr<platform::IReadableFolder>, platform::Error> openFolder(
        const std::string& path) override
    {
        if (m_beforeFolderOpens)
            m_beforeFolderOpens();
        return m_real.openFolder(path);
    }
    std::expected<platform::FileStamp, platform::Error> stampOf(const std::string& path) override
    {
        return m_real.stampOf(path);
    }
    std::expected<std::string, platform::Error> canonicalPath(const std::string& path) override
    {
        return m_real.canonicalPath(path);
    }
    std::expected<std::vector<platform::FolderEntry>, platform::Error> listFolder(const std::string& path) override
    {
        return m_real.listFolder(path);
    }
    std::expected<void, platform::Error> createDirectory(const std::string& path) override;
    std::expected<void, platform::Error> renameFile(const std::string& from, const std::string& to) override;
    std::expected<void, platform::Error> removeFile(const std::string& path) override;
    bool isFile(const std::string& path) override { return m_real.isFile(path); }
    bool isDirectory(const std::string& path) override { return m_real.isDirectory(path); }
    std::expected<void, platform::Error> moveToTrash(const std::string& path) override;
    void removeAbandonedReplacements(const std::string& folder) override { m_real.removeAbandonedReplacements(folder); }
    std::unique_ptr<platform::IFolderLock> lockFolder(const std::string& folder) override
    {
        return m_real.lockFolder(folder);
    }

private:
    friend class FaultyReplacement;
    friend class FaultyScratchFile;

    struct CallFailure {
        Operation operation;
        int call;
        platform::Error error;
    };

    // The error of this call of operation when it is the one to fail.
    std::optional<platform::Error> failureOfCall(Operation operation);
    // Writes through real what the budget of writes allows.
    std::expected<void, platform::Error> budgetedWrite(
        std::string_view bytes, const std::function<std::expected<void, platform::Error>(std::string_view)>& real);
    std::expected<std::unique_ptr<platform::IReplacement>, platform::Error> faulty(
        const std::string& path, std::expected<std::unique_ptr<platform::IReplacement>, platform::Error> real);

    platform::IFileSystem& m_real;
    std::optional<CallFailure> m_callFailure;
    std::array<int, 4> m_calls {}; // of each Operation so far
    std::optional<std::uint64_t> m_writeBudget;
    platform::Error m_writeError;
    std::optional<platform::Error> m_renameError;
    std::optional<platform::Error> m_createDirectoryError;
    std::optional<std::string> m_readSuffix;
    platform::Error m_readError;
    std::optional<std::string> m_commitSuffix;
    platform::Error m_commitError;
    std::function<void()> m_beforeFolderOpens;
    std::function<void(const std::string&)> m_beforeFileOpens;
};

} // namespace mellowby::fakes
