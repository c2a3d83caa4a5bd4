// SecKeychainItem: an opaque handle to one keychain item.
//
// An adaptor (SecKeychainProxyType) makes a handle in fetchItem() and is the
// only one to look inside it again, in trustedApplicationsData(item). The
// store just passes it back. The handle holds whatever state the adaptor
// chooses, type-erased behind a shared pointer to const: stateAs<T>() hands
// it back only when asked for the exact type it was made with, so a handle
// from another adaptor reads as empty rather than as garbage.
//
// Immutable value; copies share the state. Safe to share between threads.
//
//   struct MyItemState { std::string path; };
//   auto handle = orvane::SecKeychainItem::holding(std::make_shared<const MyItemState>(...));
//   if (auto state = handle.stateAs<MyItemState>()) { ... }
#pragma once

#include <memory>
#include <typeindex>
#include <typeinfo>
#include <utility>

namespace orvane {

class SecKeychainItem {
public:
    template <class T>
    static SecKeychainItem holding(std::shared_ptr<const T> state) {
        return SecKeychainItem(std::shared_ptr<const void>(std::move(state)), std::type_index(typeid(T)));
    }

    // stateAs: the state this handle was made with, or null when it was made
    // with another type.
    template <class T>
    std::shared_ptr<const T> stateAs() const {
        if (type_ != std::type_index(typeid(T))) {
            return nullptr;
        }
        return std::static_pointer_cast<const T>(state_);
    }

private:
    SecKeychainItem(std::shared_ptr<const void> state, std::type_index type)
        : state_(std::move(state)), type_(type) {}

    std::shared_ptr<const void> state_;
    std::type_index type_;
};

}  // namespace orvane
