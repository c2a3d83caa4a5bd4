// ServiceContainerType: the interface of a registry of shared services keyed
// by type. Callers depend on it, so a substitute registry can be injected.
//
// add(service), remove(service), get<T>() and clear() are the four
// operations. The first three are templates over the static type T used at
// the call, which no virtual function can be; they derive the key of T and
// call the protected type-erased primitives below, which an implementation
// supplies.
//
// The key of T is T's display name (typeDisplayName, which drops namespaces
// and shows a std::shared_ptr<X> as X and a std::optional<X> as
// "Optional<X>") with "ImplicitlyUnwrappedOptional<", then "Optional<", then
// ">" removed. So X, std::optional<X> and std::shared_ptr<X> share one key,
// a::Logger and b::Logger share one key, and Box<int> and Box<string> do not.
// The static type decides the key: an object of class FileLogger registered
// as a std::shared_ptr<Logger> is under the key "Logger". Since every ">"
// goes, a few distinct nested types share a key too ("Pair<Box<int>, int>"
// and "Pair<Box<int, int>>").
//
//   - add(service): registers the service under the key of its static type
//     T, unless that key already has an entry: the first registration stands
//     and the new one is silently dropped. A shared pointer is held, sharing
//     the object; any other value is copied. An empty optional or a null
//     pointer still occupies the key.
//   - remove(service): removes the entry under the key of T; the argument's
//     value is never read.
//   - get<T>(): the entry under the key of T converted to T (see
//     ServiceEntry for the conversion), or nothing. A failed conversion
//     leaves the entry in place.
//   - clear(): removes every entry.
// No operation reports an error.
//
// Thread safety: none. A caller that shares a container across threads
// serialises every call itself.
//
//   void start(orvane::ServiceContainerType& services) {
//       services.add<std::shared_ptr<Logger>>(std::make_shared<FileLogger>());
//       if (auto logger = services.get<std::shared_ptr<Logger>>()) (*logger)->info("up");
//   }
#pragma once

#include "Application/ServiceEntry.hpp"
#include "Application/TypeDisplayName.hpp"

#include <concepts>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace orvane {

class ServiceContainerType {
public:
    virtual ~ServiceContainerType() = default;

    template <std::copy_constructible T>
    void add(T service) {
        addEntry(keyOf<T>(), ServiceEntry::holding(std::move(service)));
    }

    template <class T>
    void remove(const T& /*service*/) {
        removeEntry(keyOf<T>());
    }

    template <std::copy_constructible T>
    std::optional<T> get() const {
        const ServiceEntry* found = entry(keyOf<T>());
        if (found == nullptr) {
            return std::nullopt;
        }
        return found->as<T>();
    }

    virtual void clear() = 0;

protected:
    // The key of T.
    template <class T>
    static std::string keyOf() {
        return stripClassName(typeDisplayName<T>());
    }

    // A display name with the optional markers and every ">" removed.
    static std::string stripClassName(std::string_view displayName);

    // Stores the entry under the key, unless the key already has an entry.
    virtual void addEntry(std::string key, ServiceEntry entry) = 0;
    // Removes and releases the entry under the key, if there is one.
    virtual void removeEntry(std::string_view key) = 0;
    // The entry under the key, or nullptr.
    virtual const ServiceEntry* entry(std::string_view key) const = 0;
};

}  // namespace orvane
