#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mellowby::digest {

// XXH128 finds accidental change at many gigabytes a second on one core; SHA-256 is what other
// tools check sums with.
enum class DigestAlgorithm { Xxh128, Sha256 };

// The name an algorithm goes by in options and files: "xxh128", "sha256".
std::string_view algorithmName(DigestAlgorithm algorithm);
// The algorithm of a name, in any case; nothing for a name of none.
std::optional<DigestAlgorithm> algorithmNamed(std::string_view name);
// The number of bytes of the algorithm's digests.
std::size_t digestSize(DigestAlgorithm algorithm);

// The digest of a file's contents, its bytes in the order the tools print them: XXH128 as
// xxhsum -H2 does (the high half first, each half big-endian), SHA-256 as sha256sum does.
struct Digest {
    DigestAlgorithm algorithm = DigestAlgorithm::Xxh128;
    std::array<std::uint8_t, 32> storage {};

    std::span<const std::uint8_t> bytes() const { return { storage.data(), digestSize(algorithm) }; }
    // The bytes in lower-case hexadecimal, exactly as xxhsum -H2 and sha256sum print them.
    std::string text() const;

    bool operator==(const Digest&) const = default;
};

// The digest of an algorithm's name and its bytes as they were stored; nothing for an algorithm
// of none or bytes not of its size.
std::optional<Digest> digestOf(std::string_view algorithm, std::string_view bytes);

} // namespace mellowby::digest
