#pragma once

#include <cstdio>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/filesystem.h"

namespace mellowby::cli {

// Standard output, checked: the first write that fails (a full disk, a closed pipe) is kept,
// later writes are skipped, and the command reports it and ends with a failure instead of
// claiming success over output that never arrived.
class CheckedOutput {
public:
    // Takes the stream before anything is written to it.
    explicit CheckedOutput(std::FILE* stream = stdout);

    void write(std::string_view text);
    void line(std::string_view text);
    // Flushes what is buffered; false when anything written since the start was lost.
    bool finish();
    // Why output was lost, for the message.
    std::string failure() const;

private:
    std::FILE* m_stream;
    int m_error = 0;
};

// A file given with --out: the output goes to a temporary file beside it, which takes its place
// only once all of it is written; until then, and for ever after a failure, the file is as it was.
class OutputFile {
public:
    static std::expected<OutputFile, std::string> begin(platform::IFileSystem& fileSystem, const std::string& path);

    void write(std::string_view text);
    // Puts the file in place; what went wrong, in words, when it could not be.
    std::optional<std::string> finish();

private:
    OutputFile(std::string path, std::unique_ptr<platform::IReplacement> file);

    std::string m_path;
    std::unique_ptr<platform::IReplacement> m_file;
    std::string m_pending; // written in pieces of a pipe's size
    std::optional<platform::Error> m_failure;
};

} // namespace mellowby::cli
