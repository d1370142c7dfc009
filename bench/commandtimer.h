#pragma once

// Timing helpers shared by the benchmarks that compare against a separate program.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mellowby::bench {

// In a child just forked: runs command (no shell) with its standard output on output and its
// errors thrown away; never returns.
[[noreturn]] inline void execInChild(const std::vector<std::string>& command, int output)
{
    ::dup2(output, STDOUT_FILENO);
    if (output != STDOUT_FILENO)
        ::close(output);
    ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
    std::vector<char*> argv;
    for (const auto& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

// Runs command (no shell) with its output thrown away and returns the seconds it took; ends the
// benchmark when the command fails, since its figure would mean nothing.
inline double runSeconds(const std::vector<std::string>& command)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0)
        execInChild(command, ::open("/dev/null", O_WRONLY));
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "command failed: %s\n", command[0].c_str());
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What a run of a command took: wall-clock seconds, and its peak resident memory in bytes. On a
// machine shared with other work the processor time (user and system) varies less than the wall.
struct RunFigures {
    double seconds = 0;
    double peakBytes = 0;
    double processorSeconds = 0;
};

inline double processorSecondsOf(const struct rusage& usage)
{
    const auto seconds = [](const struct timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs command (no shell) with its standard output going into a pipe that this process drains as
// a reader at the other end would, so that a program that writes much pays for it, and one that
// writes to /dev/null takes no shortcut. Ends the benchmark when the command fails.
inline RunFigures runPiped(const std::vector<std::string>& command)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        execInChild(command, pipeEnds[1]);
    }
    ::close(pipeEnds[1]);
    static char sink[64 * 1024];
    while (::read(pipeEnds[0], sink, sizeof sink) > 0) { }
    ::close(pipeEnds[0]);
    int status = 0;
    struct rusage usage { };
    ::wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(
            stderr, "command failed: %s %s\n", command[0].c_str(), command.size() > 1 ? command[1].c_str() : "");
        std::exit(1);
    }
    return { seconds, static_cast<double>(usage.ru_maxrss) * 1024.0, processorSecondsOf(usage) };
}

// Runs command (no shell) with its standard output written into the file at path, as a user who
// keeps the tool's output would. Ends the benchmark when the command fails.
inline RunFigures runIntoFile(const std::vector<std::string>& command, const std::string& path)
{
    const int output = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (output < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0)
        execInChild(command, output);
    ::close(output);
    int status = 0;
    struct rusage usage { };
    ::wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "command failed: %s\n", command[0].c_str());
        std::exit(1);
    }
    return { seconds, static_cast<double>(usage.ru_maxrss) * 1024.0, processorSecondsOf(usage) };
}

inline double median(std::vector<double> values)
{
    std::ranges::sort(values);
    return values[values.size() / 2];
}

} // namespace mellowby::bench
