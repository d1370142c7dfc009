#include "platform/bulkoutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mellowby::platform {

void prepareBulkOutput(std::FILE* stream)
{
    const int descriptor = ::fileno(stream);
    if (descriptor < 0 || ::isatty(descriptor) != 0)
        return;
    // The buffer lives as long as the stream, to its flush at exit; only standard output has one.
    static char buffer[32 * 1024];
    if (stream == stdout)
        (void)std::setvbuf(stream, buffer, _IOFBF, sizeof buffer);
    struct stat status { };
    // As much as an unprivileged process may ask for; the system keeps its own size otherwise.
    if (::fstat(descriptor, &status) == 0 && S_ISFIFO(status.st_mode))
        (void)::fcntl(descriptor, F_SETPIPE_SZ, 1 << 20);
}

} // namespace mellowby::platform
