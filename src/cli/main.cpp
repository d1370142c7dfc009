// mellowby-cli: the catalog engine for scripts and benchmarks, on the same code as the windows.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/commandline.h"
#include "cli/commandtable.h"
#include "cli/tool.h"
#include "platform/programpath.h"

namespace mellowby::cli {

namespace {

int run(const std::vector<std::string>& words)
{
    const auto invocation = readCommandLine(words);
    if (!invocation) {
        // Nowhere is left to report a failed write of the help to.
        (void)std::fputs(invocation.error().output.c_str(), stdout);
        (void)std::fputs(invocation.error().errors.c_str(), stderr);
        return invocation.error().status;
    }
    const auto folderPath = platform::runningExecutableFolder();
    if (!folderPath) {
        printError("找不到程序所在的目录：" + folderPath.error().description);
        return kExitFailure;
    }
    Tool tool(*folderPath, invocation->options);
    return invocation->command->run(tool);
}

} // namespace

} // namespace mellowby::cli

int main(int argc, char** argv)
{
    try {
        return mellowby::cli::run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& failure) {
        (void)std::fprintf(stderr, "mellowby-cli: %s\n", failure.what());
        return 1;
    }
}
