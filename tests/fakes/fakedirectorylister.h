#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/directorylister.h"

namespace mellowby::fakes {

// An in-memory tree: each directory's entries in the order a test gives them, "." and ".."
// first as a real listing has them.
class FakeDirectoryLister final : public platform::IDirectoryLister {
public:
    static platform::DirEntry file(std::string name, std::uint64_t size, std::int64_t creationTime);
    static platform::DirEntry directory(std::string name, std::int64_t creationTime);

    void addDirectory(const std::string& path, std::vector<platform::DirEntry> entries);
    // The listing of path fails after its first `after` entries ("." and ".." included).
    void failListing(const std::string& path, platform::Error error, std::size_t after = 0);

    std::expected<void, platform::Error> list(const std::string& path, std::vector<platform::DirEntry>& out) override;

    std::vector<std::string> listed; // every path asked for, in order

private:
    struct Failure {
        platform::Error error;
        std::size_t after = 0;
    };
    std::map<std::string, std::vector<platform::DirEntry>> m_directories;
    std::map<std::string, Failure> m_failures;
};

} // namespace mellowby::fakes
