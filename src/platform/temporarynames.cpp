#include "platform/temporarynames.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>

#include <unistd.h>

#include "platform/paths.h"

namespace mellowby::platform {

namespace {

constexpr std::string_view kMarker = ".mellowby-";
constexpr std::string_view kSuffix = ".tmp";
constexpr std::size_t kMaxNamePart = 128;

bool allDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

std::string temporaryNameFor(std::string_view fileName, long processId, std::uint64_t sequence)
{
    // The process number and the sequence make the name unique; the file's own name is only
    // there for whoever looks into the folder, and is shortened (never inside a character) so
    // that a file whose name is near the system's limit can still be replaced.
    if (fileName.size() > kMaxNamePart) {
        std::size_t cut = kMaxNamePart;
        while (cut > 0 && (static_cast<unsigned char>(fileName[cut]) & 0xC0) == 0x80)
            --cut;
        fileName = fileName.substr(0, cut);
    }
    std::string name;
    name.reserve(fileName.size() + 40);
    name += '.';
    name += fileName;
    name += kMarker;
    name += std::to_string(processId);
    name += '-';
    name += std::to_string(sequence);
    name += kSuffix;
    return name;
}

std::string temporaryPathBeside(const std::string& path)
{
    static std::atomic<std::uint64_t> sequence = 0;
    return std::string(folderPartOf(path)) + temporaryNameFor(fileNameOf(path), ::getpid(), ++sequence);
}

std::optional<long> writerOfTemporaryName(std::string_view name)
{
    if (!name.starts_with('.') || !name.ends_with(kSuffix))
        return std::nullopt;
    name.remove_suffix(kSuffix.size());
    const auto marker = name.rfind(kMarker);
    if (marker == std::string_view::npos || marker < 2)
        return std::nullopt;
    const std::string_view numbers = name.substr(marker + kMarker.size());
    const auto dash = numbers.find('-');
    if (dash == std::string_view::npos || !allDigits(numbers.substr(0, dash)) || !allDigits(numbers.substr(dash + 1)))
        return std::nullopt;
    long processId = 0;
    const auto digits = numbers.substr(0, dash);
    const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), processId);
    if (failure != std::errc() || end != digits.data() + digits.size() || processId <= 0)
        return std::nullopt;
    return processId;
}

bool processIsGone(long processId)
{
    // EPERM means a process of another user: it runs.
    return ::kill(static_cast<pid_t>(processId), 0) != 0 && errno == ESRCH;
}

} // namespace mellowby::platform
