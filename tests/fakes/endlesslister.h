#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "fakes/pathlister.h"

namespace mellowby::fakes {

// A tree too big to finish during a test: a file and ten directories in every directory down to
// six levels, and listing one takes a millisecond, so that a walk of it runs until it is stopped.
// Counts the listings, and those under way.
class EndlessLister final : public PathLister {
public:
    std::atomic<int> calls = 0;
    std::atomic<int> inFlight = 0;

    std::expected<void, platform::Error> listPath(
        const std::string& path, std::vector<platform::DirEntry>& out) override;
};

} // namespace mellowby::fakes
