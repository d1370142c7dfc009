#pragma once

#include <cstdint>
#include <optional>

#include "platform/filesystem.h"

namespace mellowby::fakes {

// Passes every operation to a real file system, but can make writes fail once a number of bytes
// has been written in total (a disk filling up), or make renames fail.
class FaultyFileSystem final : public platform::IFileSystem {
public:
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
    void failCreateDirectory(platform::Error error) { m_createDirectoryError = std::move(error); }

    std::expected<void, platform::Error> createDirectory(const std::string& path) override;
    std::expected<std::unique_ptr<platform::IOutputFile>, platform::Error> createNewFile(
        const std::string& path) override;
    std::expected<void, platform::Error> renameFile(const std::string& from, const std::string& to) override;
    std::expected<void, platform::Error> removeFile(const std::string& path) override;
    std::expected<void, platform::Error> moveToTrash(const std::string& path) override;
    bool isVisibleFile(const std::string& path) override { return m_real.isVisibleFile(path); }
    bool isFile(const std::string& path) override { return m_real.isFile(path); }

private:
    friend class FaultyOutputFile;

    platform::IFileSystem& m_real;
    std::optional<std::uint64_t> m_writeBudget;
    platform::Error m_writeError;
    std::optional<platform::Error> m_renameError;
    std::optional<platform::Error> m_createDirectoryError;
};

} // namespace mellowby::fakes
