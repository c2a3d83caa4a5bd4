#include "Core/CCEncryptor.hpp"

#include <openssl/evp.h>

namespace cryptonel {

// Fetching the digest once spares every call libcrypto's implicit lookup.
CCEncryptor::CCEncryptor() : digest_(EVP_MD_fetch(nullptr, "SHA2-256", nullptr)) {}

CCEncryptor::~CCEncryptor() {
    EVP_MD_free(digest_);
}

std::optional<orvane::Data> CCEncryptor::computeHash(std::span<const std::uint8_t> data) const {
    if (digest_ == nullptr) {
        return std::nullopt;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest, &length, digest_, nullptr) != 1) {
        return std::nullopt;
    }
    orvane::Data result(digest, length);
    orvane::wipeMemory(digest, sizeof digest);
    return result;
}

}  // namespace cryptonel
