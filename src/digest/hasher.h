#pragma once

#include <memory>
#include <span>

#include "digest/digestalgorithm.h"

namespace mellowby::digest {

// Digests bytes given a piece at a time; used again for file after file, so that its state is
// made once per thread rather than once per file.
class Hasher {
public:
    explicit Hasher(DigestAlgorithm algorithm);
    ~Hasher();
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;

    DigestAlgorithm algorithm() const { return m_algorithm; }
    // Starts on new contents.
    void reset();
    void update(std::span<const char> bytes);
    // The digest of everything given since reset().
    Digest finish();

private:
    struct State;
    DigestAlgorithm m_algorithm;
    std::unique_ptr<State> m_state;
};

} // namespace mellowby::digest
