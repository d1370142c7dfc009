#include "scan/earliercatalog.h"

#include "catalogdb/catalogfiles.h"

#include <utility>

namespace mellowby::scan {

struct EarlierCatalog::Reader {
    explicit Reader(std::function<Reading()> read)
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

    Reading result = std::unexpected(catalogdb::DatabaseState::Unreadable);
    std::atomic<bool> done = false;
    std::jthread thread; // last: it uses the rest
};

EarlierCatalog::EarlierCatalog(const catalogdb::CatalogFiles* files)
    : m_given(files)
{
}

EarlierCatalog EarlierCatalog::readBeside(std::function<Reading()> read)
{
    EarlierCatalog earlier;
    earlier.m_reading = std::make_shared<Reader>(std::move(read));
    return earlier;
}

bool EarlierCatalog::ready() const
{
    return m_reading == nullptr || m_reading->done.load(std::memory_order_acquire);
}

std::expected<const catalogdb::CatalogFiles*, catalogdb::DatabaseState> EarlierCatalog::files() const
{
    if (m_reading == nullptr)
        return m_given;
    m_reading->done.wait(false, std::memory_order_acquire);
    if (!m_reading->result)
        return std::unexpected(m_reading->result.error());
    return &*m_reading->result;
}

} // namespace mellowby::scan
