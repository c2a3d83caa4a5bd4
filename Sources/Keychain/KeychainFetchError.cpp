#include "Keychain/KeychainFetchError.hpp"

#include <utility>

namespace orvane {

KeychainFetchError::KeychainFetchError(Case errorCase, std::optional<Data> data)
    : EnumeratedError(errorCase), data_(std::move(data)) {
    switch (errorCase) {
        case Case::incompleteACL:
            setSummary("KeychainFetchError.incompleteACL");
            break;
        case Case::invalidACL:
            setSummary("KeychainFetchError.invalidACL");
            break;
        case Case::dataNotFound:
            setSummary("KeychainFetchError.dataNotFound");
            break;
    }
}

KeychainFetchError KeychainFetchError::incompleteACL(Data data) {
    return KeychainFetchError(Case::incompleteACL, std::move(data));
}

KeychainFetchError KeychainFetchError::invalidACL() {
    return KeychainFetchError(Case::invalidACL, std::nullopt);
}

KeychainFetchError KeychainFetchError::dataNotFound() {
    return KeychainFetchError(Case::dataNotFound, std::nullopt);
}

}  // namespace orvane
