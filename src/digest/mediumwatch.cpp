#include "digest/mediumwatch.h"

#include <cerrno>

namespace mellowby::digest {

bool MediumWatch::failed(const platform::Error& error)
{
    // A drive without a disc says so, and so does a device that went away; an I/O error alone
    // may be a bad place on a disc that is still there.
    bool gone = error.number == ENOMEDIUM || error.number == ENODEV;
    if (error.number == EIO)
        gone = m_failuresInARow.fetch_add(1) + 1 >= kFailuresInARow;
    if (!gone)
        return false;
    std::lock_guard lock(m_mutex);
    if (!m_gone)
        m_gone = error;
    return true;
}

std::optional<platform::Error> MediumWatch::gone() const
{
    std::lock_guard lock(m_mutex);
    return m_gone;
}

} // namespace mellowby::digest
