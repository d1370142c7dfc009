#pragma once

#include "platform/filesystem.h"

namespace mellowby::platform {

class LinuxFileSystem final : public IFileSystem {
public:
    std::expected<void, Error> createDirectory(const std::string& path) override;
    std::expected<std::unique_ptr<IOutputFile>, Error> createNewFile(const std::string& path) override;
    std::expected<void, Error> renameFile(const std::string& from, const std::string& to) override;
    std::expected<void, Error> removeFile(const std::string& path) override;
    std::expected<void, Error> moveToTrash(const std::string& path) override;
    bool isVisibleFile(const std::string& path) override;
    bool isFile(const std::string& path) override;
};

} // namespace mellowby::platform
