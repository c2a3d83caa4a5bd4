// CCEncryptor: the hashing surface of the sibling crypto library, in
// namespace `cryptonel`.
//
// `computeHash` returns the SHA-256 digest (32 bytes) of the bytes it is
// given, computed through libcrypto's EVP interface, or nothing when
// libcrypto cannot compute it (no SHA-256 implementation available, an
// allocation failure). It takes no key, salt or other setting.
//
// `computeHash` is virtual so that a caller's substitute can stand in for the
// real component (tests use one that returns nothing).
//
// Thread safety: an encryptor holds only the immutable digest handle it
// fetched when it was made; any number of threads may call computeHash on one
// encryptor at once.
//
//   cryptonel::CCEncryptor encryptor;
//   std::optional<orvane::Data> digest = encryptor.computeHash(orvane::Data("abc").bytes());
#pragma once

#include "Platform/Foundation/Data.hpp"

#include <cstdint>
#include <optional>
#include <span>

// libcrypto's digest type, kept out of this header.
struct evp_md_st;

namespace cryptonel {

class CCEncryptor {
public:
    CCEncryptor();
    virtual ~CCEncryptor();
    CCEncryptor(const CCEncryptor&) = delete;
    CCEncryptor& operator=(const CCEncryptor&) = delete;

    // computeHash: the digest of `data`, or nothing when it cannot be computed.
    // The input is read in place: no copy of a possibly secret input is made.
    virtual std::optional<orvane::Data> computeHash(std::span<const std::uint8_t> data) const;

private:
    evp_md_st* digest_;
};

}  // namespace cryptonel
