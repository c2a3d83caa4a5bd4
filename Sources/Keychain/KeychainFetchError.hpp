// KeychainFetchError: why Keychain::fetch could not return a secret.
//
//   - incompleteACL(data) (0): the item was read, but it trusts only part of
//     the key's applications and no other. It carries the item's bytes so the
//     fetch can re-create the item without reading it again; it never leaves
//     Keychain::fetch.
//   - invalidACL (1): the item trusts an application outside the key's acl.
//   - dataNotFound (2): there is no such item, or no data could be read.
//
// Bridged to NSError it has the domain "TarvelOrvane.KeychainFetchError", the
// case's position as code and no user information. The bytes of
// incompleteACL appear in neither the bridge nor what().
//
// Immutable value; safe to share between threads.
//
//   try { secret = keychain.fetch(key); }
//   catch (const orvane::KeychainFetchError& error) {
//       if (error.errorCase() == orvane::KeychainFetchError::Case::dataNotFound) { ... }
//   }
#pragma once

#include "Platform/Foundation/Data.hpp"
#include "Platform/Foundation/Error.hpp"

#include <optional>
#include <string_view>

namespace orvane {

enum class KeychainFetchErrorCase { incompleteACL, invalidACL, dataNotFound };

class KeychainFetchError : public EnumeratedError<KeychainFetchError, KeychainFetchErrorCase> {
public:
    static constexpr std::string_view typeName = "KeychainFetchError";

    static KeychainFetchError incompleteACL(Data data);
    static KeychainFetchError invalidACL();
    static KeychainFetchError dataNotFound();

    // data: the bytes carried by incompleteACL; nothing for the other cases.
    const std::optional<Data>& data() const noexcept { return data_; }

    friend bool operator==(const KeychainFetchError& lhs, const KeychainFetchError& rhs) {
        return lhs.errorCase() == rhs.errorCase() && lhs.data_ == rhs.data_;
    }

private:
    KeychainFetchError(Case errorCase, std::optional<Data> data);

    std::optional<Data> data_;
};

}  // namespace orvane
