#pragma once

#include <cstdio>
#include <cstdlib>

namespace mellowby::fuzz {

// A broken invariant ends the run like a crash, so that libFuzzer keeps the input that broke it.
inline void require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace mellowby::fuzz
