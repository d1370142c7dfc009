#pragma once

#include <map>
#include <string>
#include <vector>

#include "fakes/pathlister.h"

namespace mellowby::fakes {

// An in-memory tree: each directory's entries in the order a test gives them. A test can make any
// folder fail to open or fail part way through its listing.
class FakeDirectoryLister final : public PathLister {
public:
    static platform::DirEntry file(std::string name, std::uint64_t size, std::int64_t creationTime);
    static platform::DirEntry directory(std::string name, std::int64_t creationTime);

    void addDirectory(const std::string& path, std::vector<platform::DirEntry> entries);
    // The directory at path cannot be opened (as one without permission).
    void failOpening(const std::string& path, platform::Error error);
    // The listing of path breaks off with error after its first `after` entries.
    void failListing(const std::string& path, platform::Error error, std::size_t after = 0);

    std::expected<void, platform::Error> openPath(const std::string& path) override;
    std::expected<void, platform::Error> listPath(
        const std::string& path, std::vector<platform::DirEntry>& out) override;

    std::vector<std::string> listed; // every path listed, in order

private:
    struct Failure {
        platform::Error error;
        std::size_t after = 0;
    };
    std::map<std::string, std::vector<platform::DirEntry>> m_directories;
    std::map<std::string, platform::Error> m_openFailures;
    std::map<std::string, Failure> m_listFailures;
};

} // namespace mellowby::fakes
