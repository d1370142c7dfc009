#include "cli/clioutput.h"

#include <cerrno>

#include <unistd.h>

#include "platform/error.h"

namespace mellowby::cli {

CheckedOutput::CheckedOutput(std::FILE* stream)
    : m_stream(stream)
{
    // Into a pipe or a file, rows go out in pieces as big as a pipe holds: every write wakes the
    // reader on the other end, and a search can print millions of rows. The buffer lives as long
    // as the stream, to its flush at exit.
    static char buffer[64 * 1024];
    if (stream == stdout && ::isatty(::fileno(stream)) == 0)
        (void)std::setvbuf(stream, buffer, _IOFBF, sizeof buffer);
}

void CheckedOutput::write(std::string_view text)
{
    if (m_error != 0 || text.empty())
        return;
    if (std::fwrite(text.data(), 1, text.size(), m_stream) != text.size())
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
