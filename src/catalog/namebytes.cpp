#include "catalog/namebytes.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mellowby::catalog {

void copyUpperAscii(const char* begin, const char* end, char* into)
{
#if defined(__SSE2__)
    // Signed bytes: those from 0x80 up are below 'a' and stay as they are.
    const __m128i beforeA = _mm_set1_epi8('a' - 1);
    const __m128i afterZ = _mm_set1_epi8('z' + 1);
    const __m128i caseBit = _mm_set1_epi8(0x20);
    for (; end - begin >= 16; begin += 16, into += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
        const __m128i lower = _mm_and_si128(_mm_cmpgt_epi8(bytes, beforeA), _mm_cmplt_epi8(bytes, afterZ));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(into), _mm_xor_si128(bytes, _mm_and_si128(lower, caseBit)));
    }
#else
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kTops = 0x8080808080808080ull;
    for (; end - begin >= 8; begin += 8, into += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, begin, sizeof word);
        // In each byte below 0x80, the top bit of low + 0x1F is set from 'a' up, that of
        // low + 0x05 from past 'z' up; neither sum carries into the next byte.
        const std::uint64_t low = word & ~kTops;
        const std::uint64_t lowerCase
            = (low + kOnes * (0x80 - 'a')) & ~(low + kOnes * (0x80 - 'z' - 1)) & ~word & kTops;
        word ^= lowerCase >> 2; // 0x80 >> 2 is the bit between the cases
        std::memcpy(into, &word, sizeof word);
    }
#endif
    for (; begin != end; ++begin, ++into)
        *into = upperAscii(*begin);
}

std::uint64_t countNuls(const char* begin, const char* end)
{
    std::uint64_t count = 0;
#if defined(__SSE2__)
    // Each lane counts the NULs it saw (a match is -1, subtracted) for up to 255 rounds; the lanes
    // are then added up. No popcount instruction is taken for granted.
    using ByteLanes = unsigned char __attribute__((vector_size(16))); // wraps, as lanes must
    const __m128i zero = _mm_setzero_si128();
    while (end - begin >= 16) {
        ByteLanes lanes {};
        for (int round = 0; round < 255 && end - begin >= 16; ++round, begin += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
            lanes -= std::bit_cast<ByteLanes>(_mm_cmpeq_epi8(bytes, zero));
        }
        const __m128i sums = _mm_sad_epu8(std::bit_cast<__m128i>(lanes), zero);
        count += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums))
            + static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
#else
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    for (; end - begin >= 8; begin += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, begin, sizeof word);
        // The top bit of each byte that is zero, and of no other; then those bits added up.
        const std::uint64_t zeroTops = ~(((word & kLow7) + kLow7) | word | kLow7);
        count += ((zeroTops >> 7) * 0x0101010101010101ull) >> 56;
    }
#endif
    // The analyzer cannot see that a search's callers only count what they filled.
    for (; begin != end; ++begin)
        count += *begin == '\0' ? 1 : 0; // NOLINT(clang-analyzer-core.UndefinedBinaryOperatorResult)
    return count;
}

const char* findBytes(const char* begin, const char* end, std::string_view needle)
{
    const std::size_t length = needle.size();
    if (length == 0)
        return begin;
    if (static_cast<std::size_t>(end - begin) < length)
        return nullptr;
    if (length == 1)
        return static_cast<const char*>(std::memchr(begin, needle[0], static_cast<std::size_t>(end - begin)));
#if defined(__SSE2__)
    // Places where both the first and the last byte of the needle fit, sixteen at a time; only
    // those are compared whole. Names rarely give many such places.
    const __m128i first = _mm_set1_epi8(needle.front());
    const __m128i last = _mm_set1_epi8(needle.back());
    for (; static_cast<std::size_t>(end - begin) >= length - 1 + 16; begin += 16) {
        const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
        const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + length - 1));
        auto candidates = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(starts, first), _mm_cmpeq_epi8(ends, last))));
        while (candidates != 0) {
            const char* const at = begin + std::countr_zero(candidates);
            if (std::memcmp(at + 1, needle.data() + 1, length - 2) == 0)
                return at;
            candidates &= candidates - 1;
        }
    }
#endif
    return static_cast<const char*>(::memmem(begin, static_cast<std::size_t>(end - begin), needle.data(), length));
}

} // namespace mellowby::catalog
