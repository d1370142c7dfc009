#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/filereading.h"

namespace mellowby::fakes {

// Reads real files, but can make the reads of a file fail at a given offset, every read fail (a
// disc taken out), a file change while it is read, and tell any places and device kind; it counts
// the opens and reads of every file. Safe for the threads of a run.
class FaultyFileReading final : public platform::IFileReading {
public:
    explicit FaultyFileReading(platform::IFileReading& real)
        : m_real(real)
    {
    }

    // Reads of the file at path give its bytes up to offset, then fail with errnoValue.
    void failReadsAt(const std::string& path, std::uint64_t offset, int errnoValue);
    // From now on every open and read fails with errnoValue.
    void failEverything(int errnoValue);
    // The file at path looks written to once its first piece has been read.
    void changeWhileRead(const std::string& path);
    // Called before every read with the file's path, on the reading thread.
    void beforeEachRead(std::function<void(const std::string& path)> hook);
    // The places of files on their device (nothing: no data there yet); files not given one are on
    // a file system that does not tell (EOPNOTSUPP).
    void place(const std::string& path, std::optional<std::uint64_t> offset);
    void setStorageKind(platform::StorageKind kind);

    int opensOf(const std::string& path) const;
    int readsOf(const std::string& path) const;
    // The files in the order they were opened.
    std::vector<std::string> opened() const;

    std::expected<std::unique_ptr<platform::ISequentialFile>, platform::Error> openSequential(
        const std::string& path) override;
    platform::StorageKind storageKindOf(const std::string& path) override;

private:
    friend class FaultySequentialFile;

    struct ReadFault {
        std::uint64_t offset = 0;
        int errnoValue = 0;
    };

    platform::IFileReading& m_real;
    mutable std::mutex m_mutex;
    std::map<std::string, ReadFault> m_readFaults;
    std::optional<int> m_everythingFails;
    std::map<std::string, bool> m_changing;
    std::function<void(const std::string&)> m_beforeEachRead;
    std::map<std::string, std::optional<std::uint64_t>> m_places;
    std::optional<platform::StorageKind> m_storageKind;
    std::map<std::string, int> m_opens;
    std::map<std::string, int> m_reads;
    std::vector<std::string> m_opened;
};

} // namespace mellowby::fakes
