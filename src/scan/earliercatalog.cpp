#include "scan/earliercatalog.h"

#include "catalogdb/catalogfiles.h"
#include "catalogdb/databasereader.h"

#include <mutex>
#include <utility>

namespace mellowby::scan {

template <typename Result> struct EarlierCatalog::Reader {
    explicit Reader(std::function<Result()> read)
        : thread([this, read = std::move(read)] {
            try {
                result = read();
            } catch (...) {
                result = std::unexpected(catalogdb::DatabaseState::Unreadable); // out of memory
            }
            done.store(true, std::memory_order_release);
            done.notify_all();
        })
    {
    }

    bool ready() const { return done.load(std::memory_order_acquire); }
    const Result& wait() const
    {
        done.wait(false, std::memory_order_acquire);
        return result;
    }

    Result result = std::unexpected(catalogdb::DatabaseState::Unreadable);
    std::atomic<bool> done = false;
    std::jthread thread; // last: it uses the rest
};

struct EarlierCatalog::Shared {
    std::function<Reading()> read; // until it is started
    std::unique_ptr<Reader<DigestsReading>> digests;
    std::mutex mutex;
    std::unique_ptr<Reader<Reading>> files; // once started
    std::atomic<bool> filesStarted = false;

    Reader<Reading>& startFiles()
    {
        const std::lock_guard lock(mutex);
        if (!files) {
            files = std::make_unique<Reader<Reading>>(std::move(read));
            filesStarted.store(true, std::memory_order_release);
        }
        return *files;
    }
};

EarlierCatalog::EarlierCatalog(const catalogdb::CatalogFiles* files)
    : m_given(files)
{
}

EarlierCatalog EarlierCatalog::readBeside(std::function<Reading()> read)
{
    EarlierCatalog earlier;
    earlier.m_shared = std::make_shared<Shared>();
    earlier.m_shared->read = std::move(read);
    earlier.m_shared->startFiles();
    return earlier;
}

EarlierCatalog EarlierCatalog::readWhenAsked(
    std::function<Reading()> read, std::function<DigestsReading(std::int64_t mostEntries)> readDigests)
{
    EarlierCatalog earlier;
    earlier.m_shared = std::make_shared<Shared>();
    earlier.m_shared->read = std::move(read);
    earlier.m_shared->digests = std::make_unique<Reader<DigestsReading>>(
        [readDigests = std::move(readDigests)] { return readDigests(kMostEntriesAlone); });
    return earlier;
}

bool EarlierCatalog::readsDigestsAlone() const
{
    return m_shared != nullptr && m_shared->digests != nullptr;
}

bool EarlierCatalog::digestsReady() const
{
    return m_shared->digests->ready();
}

const EarlierCatalog::DigestsReading& EarlierCatalog::digests() const
{
    return m_shared->digests->wait();
}

void EarlierCatalog::readFiles() const
{
    if (m_shared != nullptr)
        m_shared->startFiles();
}

bool EarlierCatalog::ready() const
{
    if (m_shared == nullptr)
        return true;
    // Once started, the reader stays as it was set before.
    return m_shared->filesStarted.load(std::memory_order_acquire) && m_shared->files->ready();
}

std::expected<const catalogdb::CatalogFiles*, catalogdb::DatabaseState> EarlierCatalog::files() const
{
    if (m_shared == nullptr)
        return m_given;
    const Reading& result = m_shared->startFiles().wait();
    if (!result)
        return std::unexpected(result.error());
    return &*result;
}

} // namespace mellowby::scan
