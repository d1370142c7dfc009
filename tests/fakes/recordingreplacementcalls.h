#pragma once

#include <string>
#include <vector>

#include "platform/linux/replacementcalls.h"
#include "platform/paths.h"

namespace mellowby::fakes {

// The system's own calls for replacements, each written down as it is made: what was called, and
// for a rename the name it gave, for a folder's sync the folder.
class RecordingReplacementCalls final : public platform::IReplacementCalls {
public:
    std::vector<std::string> made;

    std::expected<void, platform::Error> write(const platform::FileDescriptor& file, std::string_view bytes) override
    {
        made.push_back("write " + std::to_string(bytes.size()));
        return m_system.write(file, bytes);
    }
    std::expected<void, platform::Error> writeAt(
        const platform::FileDescriptor& file, std::uint64_t offset, std::string_view bytes) override
    {
        made.push_back("write " + std::to_string(bytes.size()) + " at " + std::to_string(offset));
        return m_system.writeAt(file, offset, bytes);
    }
    std::expected<void, platform::Error> sync(const platform::FileDescriptor& file) override
    {
        made.emplace_back("fsync");
        return m_system.sync(file);
    }
    std::expected<void, platform::Error> close(platform::FileDescriptor& file) override
    {
        made.emplace_back("close");
        return m_system.close(file);
    }
    std::expected<void, platform::Error> rename(const std::string& from, const std::string& to) override
    {
        made.push_back("rename to " + std::string(platform::fileNameOf(to)));
        return m_system.rename(from, to);
    }
    void syncFolder(const std::string& folder) override
    {
        made.push_back("fsync folder " + folder);
        m_system.syncFolder(folder);
    }

private:
    platform::IReplacementCalls& m_system = platform::systemReplacementCalls();
};

} // namespace mellowby::fakes
