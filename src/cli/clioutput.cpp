#include "cli/clioutput.h"

#include <cerrno>

#include "platform/bulkoutput.h"
#include "platform/error.h"

namespace mellowby::cli {

CheckedOutput::CheckedOutput(std::FILE* stream)
    : m_stream(stream)
{
    // A search can print millions of rows.
    platform::prepareBulkOutput(stream);
}

void CheckedOutput::write(std::string_view text)
{
    if (m_error != 0 || text.empty())
        return;
    // One thread writes to the stream: no lock per row.
    if (::fwrite_unlocked(text.data(), 1, text.size(), m_stream) != text.size())
        m_error = errno != 0 ? errno : EIO;
}

void CheckedOutput::line(std::string_view text)
{
    write(text);
    write("\n");
}

bool CheckedOutput::finish()
{
    if (m_error == 0 && std::fflush(m_stream) != 0)
        m_error = errno != 0 ? errno : EIO;
    return m_error == 0;
}

std::string CheckedOutput::failure() const
{
    return platform::errorFromErrno(m_error).description;
}

} // namespace mellowby::cli
