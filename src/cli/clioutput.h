#pragma once

#include <cstdio>
#include <string>
#include <string_view>

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

} // namespace mellowby::cli
