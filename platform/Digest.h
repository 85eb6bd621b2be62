// Message digests of file contents through OpenSSL's EVP interface: the
// checksums people already keep (MD5, SHA-1, SHA-256, SHA-512), never a
// hash of our own making.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

enum class TDigestKind { Md5, Sha1, Sha256, Sha512 };

// Hex digits of a digest of this kind (32, 40, 64, 128).
std::size_t DigestHexLength(TDigestKind kind);
// The kind whose digests have `hexLength` hex digits; false when none has.
bool DigestKindOfLength(std::size_t hexLength, TDigestKind &kind);
// The tag a BSD-style line names it by ("MD5", "SHA1", "SHA256", "SHA512").
const char *DigestTag(TDigestKind kind);
// The kind a BSD tag names; false for a tag of no kind we know.
bool DigestKindOfTag(const std::string &tag, TDigestKind &kind);

// One digest being computed. Not copyable; one thread at a time.
class TDigest
{
public:
    explicit TDigest(TDigestKind kind = TDigestKind::Sha256);
    ~TDigest();
    TDigest(const TDigest &) = delete;
    TDigest &operator=(const TDigest &) = delete;

    // Starts over, for a digest of `kind`.
    void Reset(TDigestKind kind);
    void Update(const void *data, std::size_t size);
    // The digest of everything updated since the last Reset, in lower-case
    // hex; the digest then starts over with the same kind.
    std::string FinishHex();

private:
    struct TContext;
    std::unique_ptr<TContext> m_context;
    TDigestKind m_kind;
};
