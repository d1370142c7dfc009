#include "fakes/faultyfilereading.h"

#include <cerrno>

namespace mellowby::fakes {

class FaultySequentialFile final : public platform::ISequentialFile {
public:
    FaultySequentialFile(FaultyFileReading& owner, std::string path, std::unique_ptr<platform::ISequentialFile> real)
        : m_owner(owner)
        , m_path(std::move(path))
        , m_real(std::move(real))
    {
    }
    const platform::FileStamp& stamp() const override { return m_real->stamp(); }

    std::expected<std::size_t, platform::Error> read(std::span<char> into) override
    {
        std::function<void(const std::string&)> hook;
        std::optional<FaultyFileReading::ReadFault> fault;
        {
            std::lock_guard lock(m_owner.m_mutex);
            ++m_owner.m_reads[m_path];
            hook = m_owner.m_beforeEachRead;
            if (m_owner.m_everythingFails)
                fault = FaultyFileReading::ReadFault { m_offset, *m_owner.m_everythingFails };
            else if (const auto found = m_owner.m_readFaults.find(m_path); found != m_owner.m_readFaults.end())
                fault = found->second;
        }
        if (hook)
            hook(m_path);
        if (fault && fault->offset <= m_offset)
            return std::unexpected(platform::errorFromErrno(fault->errnoValue));
        // A read that reaches the bad place gives what lies before it, as a disk does; the next
        // read fails.
        if (fault && fault->offset < m_offset + into.size())
            into = into.first(fault->offset - m_offset);
        auto got = m_real->read(into);
        if (got)
            m_offset += *got;
        return got;
    }

    std::expected<platform::FileStamp, platform::Error> currentStamp() const override
    {
        auto now = m_real->currentStamp();
        std::lock_guard lock(m_owner.m_mutex);
        if (now && m_offset > 0 && m_owner.m_changing.contains(m_path)) {
            now->modified += 1;
            now->changed += 1;
        }
        return now;
    }

    std::expected<std::optional<std::uint64_t>, platform::Error> placement() const override
    {
        std::lock_guard lock(m_owner.m_mutex);
        const auto found = m_owner.m_places.find(m_path);
        if (found == m_owner.m_places.end())
            return std::unexpected(platform::errorFromErrno(EOPNOTSUPP));
        return found->second;
    }

private:
    FaultyFileReading& m_owner;
    std::string m_path;
    std::unique_ptr<platform::ISequentialFile> m_real;
    std::uint64_t m_offset = 0;
};

void FaultyFileReading::failReadsAt(const std::string& path, std::uint64_t offset, int errnoValue)
{
    std::lock_guard lock(m_mutex);
    m_readFaults[path] = { offset, errnoValue };
}

void FaultyFileReading::failEverything(int errnoValue)
{
    std::lock_guard lock(m_mutex);
    m_everythingFails = errnoValue;
}

void FaultyFileReading::changeWhileRead(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    m_changing[path] = true;
}

void FaultyFileReading::beforeEachRead(std::function<void(const std::string& path)> hook)
{
    std::lock_guard lock(m_mutex);
    m_beforeEachRead = std::move(hook);
}

void FaultyFileReading::place(const std::string& path, std::optional<std::uint64_t> offset)
{
    std::lock_guard lock(m_mutex);
    m_places[path] = offset;
}

void FaultyFileReading::setStorageKind(platform::StorageKind kind)
{
    std::lock_guard lock(m_mutex);
    m_storageKind = kind;
}

int FaultyFileReading::opensOf(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_opens.find(path);
    return found == m_opens.end() ? 0 : found->second;
}

int FaultyFileReading::readsOf(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_reads.find(path);
    return found == m_reads.end() ? 0 : found->second;
}

std::vector<std::string> FaultyFileReading::opened() const
{
    std::lock_guard lock(m_mutex);
    return m_opened;
}

std::expected<std::unique_ptr<platform::ISequentialFile>, platform::Error> FaultyFileReading::openSequential(
    const std::string& path)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_opens[path];
        m_opened.push_back(path);
        if (m_everythingFails)
            return std::unexpected(platform::errorFromErrno(*m_everythingFails));
    }
    auto real = m_real.openSequential(path);
    if (!real)
        return std::unexpected(real.error());
    return std::make_unique<FaultySequentialFile>(*this, path, std::move(*real));
}

platform::StorageKind FaultyFileReading::storageKindOf(const std::string& path)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_storageKind)
            return *m_storageKind;
    }
    return m_real.storageKindOf(path);
}

} // namespace mellowby::fakes
