#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/directorylister.h"

namespace mellowby::fakes {

// An in-memory tree: each directory's entries in the order a test gives them. Folders are
// "opened" by path, so a test can make any of them fail to open or fail part way through its
// listing.
class FakeDirectoryLister final : public platform::IDirectoryLister {
public:
    static platform::DirEntry file(std::string name, std::uint64_t size, std::int64_t creationTime);
    static platform::DirEntry directory(std::string name, std::int64_t creationTime);

    void addDirectory(const std::string& path, std::vector<platform::DirEntry> entries);
    // The directory at path cannot be opened (as one without permission).
    void failOpening(const std::string& path, platform::Error error);
    // The listing of path breaks off with error after its first `after` entries.
    void failListing(const std::string& path, platform::Error error, std::size_t after = 0);

    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> open(const std::string& path) override;

    std::vector<std::string> listed; // every path listed, in order

private:
    friend class FakeDirectory;
    struct Failure {
        platform::Error error;
        std::size_t after = 0;
    };
    std::map<std::string, std::vector<platform::DirEntry>> m_directories;
    std::map<std::string, platform::Error> m_openFailures;
    std::map<std::string, Failure> m_listFailures;
};

} // namespace mellowby::fakes
