#include "Data/StringHasher.hpp"

#include "Data/StringHasherError.hpp"
#include "Platform/Foundation/UTF8Validation.hpp"

#include <cstdint>
#include <span>
#include <utility>

namespace orvane {

StringHasher::StringHasher() : cryptor_(std::make_shared<const cryptonel::CCEncryptor>()) {}

StringHasher::StringHasher(std::shared_ptr<const cryptonel::CCEncryptor> cryptor)
    : cryptor_(std::move(cryptor)) {}

std::string StringHasher::computeHash(std::string_view string) const {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(string.data()),
                                              string.size());
    if (!isValidUTF8(bytes)) {
        throw StringHasherError(StringHasherError::Case::unexpectedStringEncoding);
    }
    const std::optional<Data> hash = cryptor_ ? cryptor_->computeHash(bytes) : std::nullopt;
    if (!hash) {
        throw StringHasherError(StringHasherError::Case::hashError);
    }
    return hash->base64EncodedString();
}

}  // namespace orvane
