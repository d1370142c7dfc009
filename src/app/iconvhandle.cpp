#include "app/iconvhandle.h"

#include <cerrno>
#include <cstdint>
#include <utility>

namespace mellowby::app {

namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));

} // namespace

std::expected<IconvHandle, platform::Error> IconvHandle::open(const char* to, const char* from)
{
    const iconv_t descriptor = ::iconv_open(to, from);
    if (descriptor == kNoDescriptor)
        return std::unexpected(platform::errorFromErrno(errno));
    return IconvHandle(descriptor);
}

IconvHandle::IconvHandle(iconv_t descriptor)
    : m_descriptor(descriptor)
{
}

IconvHandle::IconvHandle(IconvHandle&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, kNoDescriptor))
{
}

IconvHandle& IconvHandle::operator=(IconvHandle&& other) noexcept
{
    std::swap(m_descriptor, other.m_descriptor);
    return *this;
}

IconvHandle::~IconvHandle()
{
    if (m_descriptor != kNoDescriptor)
        ::iconv_close(m_descriptor);
}

void IconvHandle::reset()
{
    ::iconv(m_descriptor, nullptr, nullptr, nullptr, nullptr);
}

std::optional<std::string> IconvHandle::convertAll(std::string_view text)
{
    reset();
    // Four bytes out for each byte in covers the charsets used here (UTF-8 to WCHAR_T is the
    // widest); E2BIG makes more room anyway.
    std::string out(text.size() * 4 + 8, '\0');
    // iconv takes char** for its input but never writes through it.
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    std::size_t written = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        const std::size_t result = ::iconv(m_descriptor, &in, &inLeft, &outPtr, &outLeft);
        const int failure = errno;
        written = static_cast<std::size_t>(outPtr - out.data());
        if (result == static_cast<std::size_t>(-1) && failure == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // A count of irreversible conversions means something was substituted: no exact form.
        if (result != 0)
            return std::nullopt;
    }
    out.resize(written);
    return out;
}

} // namespace mellowby::app
