#include "platform/Digest.h"

#include <openssl/evp.h>

#include <new>

namespace {

const EVP_MD *Algorithm(TDigestKind kind)
{
    switch (kind) {
    case TDigestKind::Md5:
        return EVP_md5();
    case TDigestKind::Sha1:
        return EVP_sha1();
    case TDigestKind::Sha256:
        return EVP_sha256();
    case TDigestKind::Sha512:
        return EVP_sha512();
    }
    return EVP_sha256();
}

constexpr TDigestKind kKinds[] = {TDigestKind::Md5, TDigestKind::Sha1, TDigestKind::Sha256, TDigestKind::Sha512};

} // namespace

struct TDigest::TContext {
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    ~TContext() { EVP_MD_CTX_free(ctx); }
};

std::size_t DigestHexLength(TDigestKind kind)
{
    switch (kind) {
    case TDigestKind::Md5:
        return 32;
    case TDigestKind::Sha1:
        return 40;
    case TDigestKind::Sha256:
        return 64;
    case TDigestKind::Sha512:
        return 128;
    }
    return 0;
}

bool DigestKindOfLength(std::size_t hexLength, TDigestKind &kind)
{
    for (TDigestKind k : kKinds) {
        if (DigestHexLength(k) == hexLength) {
            kind = k;
            return true;
        }
    }
    return false;
}

const char *DigestTag(TDigestKind kind)
{
    switch (kind) {
    case TDigestKind::Md5:
        return "MD5";
    case TDigestKind::Sha1:
        return "SHA1";
    case TDigestKind::Sha256:
        return "SHA256";
    case TDigestKind::Sha512:
        return "SHA512";
    }
    return "";
}

bool DigestKindOfTag(const std::string &tag, TDigestKind &kind)
{
    for (TDigestKind k : kKinds) {
        if (tag == DigestTag(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

TDigest::TDigest(TDigestKind kind) : m_context(std::make_unique<TContext>()), m_kind(kind)
{
    if (!m_context->ctx)
        throw std::bad_alloc();
    Reset(kind);
}

TDigest::~TDigest() = default;

void TDigest::Reset(TDigestKind kind)
{
    m_kind = kind;
    // These digests cannot fail to start but for want of memory.
    if (EVP_DigestInit_ex(m_context->ctx, Algorithm(kind), nullptr) != 1)
        throw std::bad_alloc();
}

void TDigest::Update(const void *data, std::size_t size)
{
    if (size)
        EVP_DigestUpdate(m_context->ctx, data, size);
}

std::string TDigest::FinishHex()
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context->ctx, md, &length);
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        hex += digits[md[i] >> 4];
        hex += digits[md[i] & 15];
    }
    Reset(m_kind);
    return hex;
}
