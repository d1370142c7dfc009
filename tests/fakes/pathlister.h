#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/directorylister.h"

namespace mellowby::fakes {

// A lister whose folders are known by their paths alone, for tests that decide what opening or
// listing a folder does (hold it, fail it, make it endless) without real folder handles.
class PathLister : public platform::IDirectoryLister {
public:
    // Whether the folder at path opens; by default every one does.
    virtual std::expected<void, platform::Error> openPath(const std::string& path);
    virtual std::expected<void, platform::Error> listPath(const std::string& path, std::vector<platform::DirEntry>& out)
        = 0;

    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> open(const std::string& path) final;
};

} // namespace mellowby::fakes
