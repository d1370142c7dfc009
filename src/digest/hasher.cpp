#include "digest/hasher.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <openssl/evp.h>
#include <xxhash.h>
// The library picks the widest vector instructions the processor has (AVX2, AVX-512) when it runs,
// three times as fast as the SSE2 it is built for; only x86 has the dispatch.
#if defined(__x86_64__) || defined(__i386__)
#include <xxh_x86dispatch.h>
#endif

namespace mellowby::digest {

namespace {

struct XxhStateFree {
    void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
};
struct EvpContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct EvpDigestFree {
    void operator()(EVP_MD* digest) const { EVP_MD_free(digest); }
};

template <typename Handle> Handle checkedAllocation(Handle handle)
{
    if (!handle)
        throw std::bad_alloc();
    return handle;
}

} // namespace

// OpenSSL's SHA-256 uses the processor's SHA instructions where it has them, several times as
// fast as a portable one. The method is fetched once: looking it up again for every file costs
// more than hashing a small one.
struct Hasher::State {
    std::unique_ptr<XXH3_state_t, XxhStateFree> xxh;
    std::unique_ptr<EVP_MD, EvpDigestFree> sha256;
    std::unique_ptr<EVP_MD_CTX, EvpContextFree> context;
};

Hasher::Hasher(DigestAlgorithm algorithm)
    : m_algorithm(algorithm)
    , m_state(std::make_unique<State>())
{
    if (algorithm == DigestAlgorithm::Xxh128) {
        m_state->xxh = checkedAllocation(std::unique_ptr<XXH3_state_t, XxhStateFree>(XXH3_createState()));
    } else {
        m_state->sha256
            = checkedAllocation(std::unique_ptr<EVP_MD, EvpDigestFree>(EVP_MD_fetch(nullptr, "SHA256", nullptr)));
        m_state->context = checkedAllocation(std::unique_ptr<EVP_MD_CTX, EvpContextFree>(EVP_MD_CTX_new()));
    }
    reset();
}

Hasher::~Hasher() = default;

void Hasher::reset()
{
    if (m_algorithm == DigestAlgorithm::Xxh128) {
        (void)XXH3_128bits_reset(m_state->xxh.get());
    } else if (EVP_DigestInit_ex(m_state->context.get(), m_state->sha256.get(), nullptr) != 1) {
        throw std::bad_alloc();
    }
}

void Hasher::update(std::span<const char> bytes)
{
    if (m_algorithm == DigestAlgorithm::Xxh128)
        (void)XXH3_128bits_update(m_state->xxh.get(), bytes.data(), bytes.size());
    else
        (void)EVP_DigestUpdate(m_state->context.get(), bytes.data(), bytes.size());
}

Digest Hasher::finish()
{
    Digest digest { .algorithm = m_algorithm };
    if (m_algorithm == DigestAlgorithm::Xxh128) {
        XXH128_canonical_t canonical;
        XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(m_state->xxh.get()));
        static_assert(sizeof canonical.digest == 16);
        std::copy(std::begin(canonical.digest), std::end(canonical.digest), digest.storage.begin());
    } else {
        unsigned size = 0;
        (void)EVP_DigestFinal_ex(m_state->context.get(), digest.storage.data(), &size);
    }
    return digest;
}

} // namespace mellowby::digest
