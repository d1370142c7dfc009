#include "fakes/faultyfilesystem.h"

namespace mellowby::fakes {

class FaultyReplacement final : public platform::IReplacement {
public:
    FaultyReplacement(FaultyFileSystem& owner, std::string path, std::unique_ptr<platform::IReplacement> real)
        : m_owner(owner)
        , m_path(std::move(path))
        , m_real(std::move(real))
    {
    }

    std::expected<void, platform::Error> write(std::string_view bytes) override
    {
        return m_owner.budgetedWrite(bytes, [&](std::string_view taken) { return m_real->write(taken); });
    }
    // Counted with the writes: a database engine writes its pages this way.
    std::expected<void, platform::Error> writeAt(std::uint64_t offset, std::string_view bytes) override
    {
        return m_owner.budgetedWrite(bytes, [&](std::string_view taken) { return m_real->writeAt(offset, taken); });
    }
    std::expected<std::size_t, platform::Error> readAt(std::uint64_t offset, std::span<char> into) override
    {
        return m_real->readAt(offset, into);
    }
    // Finishes once: a later call, the commit's among them, gives the first one's outcome.
    std::expected<void, platform::Error> finish() override
    {
        if (!m_finished) {
            if (auto injected = m_owner.failureOfCall(FaultyFileSystem::Operation::Finish))
                m_finished = std::unexpected(*injected);
            else
                m_finished = m_real->finish();
        }
        return *m_finished;
    }
    std::expected<void, platform::Error> commit() override
    {
        if (auto finished = finish(); !finished)
            return finished;
        if (m_owner.m_renameError)
            return std::unexpected(*m_owner.m_renameError);
        if (m_owner.m_commitSuffix && m_path.ends_with(*m_owner.m_commitSuffix))
            return std::unexpected(m_owner.m_commitError);
        if (auto injected = m_owner.failureOfCall(FaultyFileSystem::Operation::Rename))
            return std::unexpected(*injected);
        return m_real->commit();
    }

private:
    FaultyFileSystem& m_owner;
    std::string m_path;
    std::unique_ptr<platform::IReplacement> m_real;
    std::optional<std::expected<void, platform::Error>> m_finished;
};

// Scratch files fill the same disk as everything else.
class FaultyScratchFile final : public platform::IScratchFile {
public:
    FaultyScratchFile(FaultyFileSystem& owner, std::unique_ptr<platform::IScratchFile> real)
        : m_owner(owner)
        , m_real(std::move(real))
    {
    }
    std::expected<void, platform::Error> write(std::string_view bytes) override
    {
        return m_owner.budgetedWrite(bytes, [&](std::string_view taken) { return m_real->write(taken); });
    }
    std::expected<std::size_t, platform::Error> readAt(std::uint64_t offset, std::span<char> into) const override
    {
        return m_real->readAt(offset, into);
    }

private:
    FaultyFileSystem& m_owner;
    std::unique_ptr<platform::IScratchFile> m_real;
};

std::expected<void, platform::Error> FaultyFileSystem::budgetedWrite(
    std::string_view bytes, const std::function<std::expected<void, platform::Error>(std::string_view)>& real)
{
    if (auto injected = failureOfCall(Operation::Write))
        return std::unexpected(*injected);
    if (m_writeBudget && bytes.size() > *m_writeBudget) {
        // A full disk takes what fits, then refuses the rest.
        (void)real(bytes.substr(0, *m_writeBudget));
        *m_writeBudget = 0;
        return std::unexpected(m_writeError);
    }
    if (m_writeBudget)
        *m_writeBudget -= bytes.size();
    return real(bytes);
}

std::optional<platform::Error> FaultyFileSystem::failureOfCall(Operation operation)
{
    const int call = ++m_calls.at(static_cast<std::size_t>(operation));
    if (m_callFailure && m_callFailure->operation == operation && m_callFailure->call == call)
        return m_callFailure->error;
    return std::nullopt;
}

std::expected<std::optional<std::string>, platform::Error> FaultyFileSystem::readWholeFile(
    const std::string& path, std::size_t maxSize)
{
    if (m_readSuffix && path.ends_with(*m_readSuffix))
        return std::unexpected(m_readError);
    return m_real.readWholeFile(path, maxSize);
}

std::expected<std::unique_ptr<platform::IReplacement>, platform::Error> FaultyFileSystem::faulty(
    const std::string& path, std::expected<std::unique_ptr<platform::IReplacement>, platform::Error> real)
{
    if (!real)
        return std::unexpected(real.error());
    return std::make_unique<FaultyReplacement>(*this, path, std::move(*real));
}

std::expected<std::unique_ptr<platform::IReplacement>, platform::Error> FaultyFileSystem::beginReplacement(
    const std::string& path)
{
    if (auto injected = failureOfCall(Operation::CreateFile))
        return std::unexpected(*injected);
    return faulty(path, m_real.beginReplacement(path));
}

std::expected<std::unique_ptr<platform::IReplacement>, platform::Error> FaultyFileSystem::beginCacheReplacement(
    const std::string& path)
{
    if (auto injected = failureOfCall(Operation::CreateFile))
        return std::unexpected(*injected);
    return faulty(path, m_real.beginCacheReplacement(path));
}

std::expected<std::unique_ptr<platform::IScratchFile>, platform::Error> FaultyFileSystem::createScratchFile(
    const std::string& folder)
{
    if (auto injected = failureOfCall(Operation::CreateFile))
        return std::unexpected(*injected);
    auto real = m_real.createScratchFile(folder);
    if (!real)
        return std::unexpected(real.error());
    return std::make_unique<FaultyScratchFile>(*this, std::move(*real));
}

std::expected<std::unique_ptr<platform::IReadableFile>, platform::Error> FaultyFileSystem::openForReading(
    const std::string& path)
{
    if (m_beforeFileOpens)
        m_beforeFileOpens(path);
    if (m_readSuffix && path.ends_with(*m_readSuffix))
        return std::unexpected(m_readError);
    return m_real.openForReading(path);
}

std::expected<void, platform::Error> FaultyFileSystem::createDirectory(const std::string& path)
{
    if (m_createDirectoryError)
        return std::unexpected(*m_createDirectoryError);
    return m_real.createDirectory(path);
}

std::expected<void, platform::Error> FaultyFileSystem::renameFile(const std::string& from, const std::string& to)
{
    if (m_renameError)
        return std::unexpected(*m_renameError);
    if (auto injected = failureOfCall(Operation::Rename))
        return std::unexpected(*injected);
    return m_real.renameFile(from, to);
}

std::expected<void, platform::Error> FaultyFileSystem::removeFile(const std::string& path)
{
    return m_real.removeFile(path);
}

std::expected<void, platform::Error> FaultyFileSystem::moveToTrash(const std::string& path)
{
    return m_real.moveToTrash(path);
}

} // namespace mellowby::fakes
