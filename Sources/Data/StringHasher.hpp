// StringHasher: hashes a string's UTF-8 bytes with the crypto component's
// CCEncryptor and returns the hash as Base64 text (standard alphabet, padded
// with "=", no line breaks). The string is hashed exactly as given: no
// trimming or normalisation.
//
// computeHash throws StringHasherError::Case::unexpectedStringEncoding when
// the string is not valid UTF-8 (std::string can hold any bytes), and
// hashError when the encryptor computes nothing. An empty string is hashed
// like any other.
//
// Thread safety: the hasher takes no lock; all calls share its one
// encryptor. The stock CCEncryptor may be used from several threads at once;
// a substitute given to the constructor must allow that too if the hasher is
// shared between threads.
//
//   auto hasher = std::make_shared<orvane::StringHasher>();
//   std::string text = hasher->computeHash("abc");
//   // "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0="
#pragma once

#include "Core/CCEncryptor.hpp"
#include "Data/StringHashing.hpp"

#include <memory>
#include <string>
#include <string_view>

namespace orvane {

class StringHasher : public StringHashing {
public:
    // A hasher over a new CCEncryptor made with no arguments.
    StringHasher();
    // A hasher over the given encryptor (a substitute for the component).
    explicit StringHasher(std::shared_ptr<const cryptonel::CCEncryptor> cryptor);

    std::string computeHash(std::string_view string) const override;

private:
    std::shared_ptr<const cryptonel::CCEncryptor> cryptor_;
};

}  // namespace orvane
