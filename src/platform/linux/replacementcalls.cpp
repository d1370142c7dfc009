#include "platform/linux/replacementcalls.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace mellowby::platform {

namespace {

class SystemReplacementCalls final : public IReplacementCalls {
public:
    std::expected<void, Error> write(const FileDescriptor& file, std::string_view bytes) override
    {
        return file.writeAll(bytes);
    }
    std::expected<void, Error> writeAt(
        const FileDescriptor& file, std::uint64_t offset, std::string_view bytes) override
    {
        return file.writeAllAt(offset, bytes);
    }
    std::expected<void, Error> sync(const FileDescriptor& file) override
    {
        if (::fsync(file.get()) != 0)
            return std::unexpected(errorFromErrno(errno));
        return {};
    }
    std::expected<void, Error> close(FileDescriptor& file) override { return file.close(); }
    std::expected<void, Error> rename(const std::string& from, const std::string& to) override
    {
        if (::rename(from.c_str(), to.c_str()) != 0)
            return std::unexpected(errorFromErrno(errno));
        return {};
    }
    void syncFolder(const std::string& folder) override
    {
        if (const auto fd = FileDescriptor::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC))
            ::fsync(fd->get());
    }
};

} // namespace

IReplacementCalls& systemReplacementCalls()
{
    static SystemReplacementCalls calls;
    return calls;
}

} // namespace mellowby::platform
