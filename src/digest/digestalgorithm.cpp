#include "digest/digestalgorithm.h"

#include <algorithm>

#include "platform/hexdigits.h"

namespace mellowby::digest {

std::string_view algorithmName(DigestAlgorithm algorithm)
{
    return algorithm == DigestAlgorithm::Sha256 ? "sha256" : "xxh128";
}

std::optional<DigestAlgorithm> algorithmNamed(std::string_view name)
{
    const auto equalsIgnoringCase = [&](std::string_view known) {
        return std::ranges::equal(
            name, known, {}, [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    };
    for (const auto algorithm : { DigestAlgorithm::Xxh128, DigestAlgorithm::Sha256 }) {
        if (equalsIgnoringCase(algorithmName(algorithm)))
            return algorithm;
    }
    return std::nullopt;
}

std::size_t digestSize(DigestAlgorithm algorithm)
{
    return algorithm == DigestAlgorithm::Sha256 ? 32 : 16;
}

std::optional<Digest> digestOf(std::string_view algorithm, std::string_view bytes)
{
    const auto named = algorithmNamed(algorithm);
    if (!named || bytes.size() != digestSize(*named))
        return std::nullopt;
    Digest digest { *named, {} };
    std::ranges::copy(bytes, digest.storage.begin());
    return digest;
}

std::string Digest::text() const
{
    std::string text;
    text.reserve(2 * digestSize(algorithm));
    for (const std::uint8_t byte : bytes()) {
        text += platform::lowerHexDigit(byte >> 4U);
        text += platform::lowerHexDigit(byte);
    }
    return text;
}

} // namespace mellowby::digest
