#pragma once

#include <cstdio>

namespace mellowby::platform {

// Readies stream, before anything is written to it, for output of many short lines going to a
// pipe or a file: it is buffered in large pieces, and a pipe holds more of them, so that the
// writer and the reader at the other end wake each other seldom. A terminal is left as it is.
void prepareBulkOutput(std::FILE* stream);

} // namespace mellowby::platform
