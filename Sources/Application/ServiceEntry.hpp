// ServiceEntry: one registered service in type-erased form, and the checked
// conversion that ServiceContainerType::get() applies to it.
//
// `holding(service)` makes an entry from a service of any copyable type T:
//   - a std::optional<X> registers its value as an X would be registered; an
//     empty optional makes an empty entry;
//   - a std::shared_ptr<S> registers the object it points to, shared with the
//     caller; a null pointer makes an empty entry;
//   - any other value is stored as a copy.
// An empty entry still occupies its key, but converts to nothing.
//
// `as<T>()` is the checked conversion, std::nullopt when it fails:
//   - std::optional<X>: the entry converted to X, wrapped;
//   - std::shared_ptr<U>, when the entry holds an object registered as a
//     std::shared_ptr<S>: the same object (sharing ownership with the
//     registration) when U is S, or a public unambiguous base class of S
//     (an interface S implements), or exactly the class the object was made
//     as (its dynamic type). A downcast to a class between S and the
//     object's dynamic type, or a cross-cast to another of its bases, fails:
//     type-erased storage cannot name them. A const object never converts to
//     a pointer to non-const. The base-class test throws and catches the
//     registered pointer, so a request for another class than the
//     registered one costs an exception;
//   - any other T: the stored copy, when it was registered with exactly the
//     type T.
// Values and objects do not mix: a value never converts to a shared
// pointer, nor an object to a value, even of the same class.
//
// Thread safety: immutable once made; const access from many threads is
// safe (the objects it holds have their own rules).
//
//   auto entry = orvane::ServiceEntry::holding(std::shared_ptr<Logger>(fileLogger));
//   entry.as<std::shared_ptr<Logger>>();       // fileLogger
//   entry.as<std::shared_ptr<FileLogger>>();   // fileLogger: its dynamic type
//   entry.as<std::shared_ptr<Clock>>();        // nullopt
#pragma once

#include <any>
#include <concepts>
#include <memory>
#include <optional>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace orvane {

namespace detail {
template <class T>
struct IsOptionalService : std::false_type {};
template <class X>
struct IsOptionalService<std::optional<X>> : std::true_type {};

template <class T>
struct IsSharedService : std::false_type {};
template <class X>
struct IsSharedService<std::shared_ptr<X>> : std::true_type {};
}  // namespace detail

class ServiceEntry {
public:
    // The empty entry.
    ServiceEntry() = default;

    template <std::copy_constructible T>
    static ServiceEntry holding(T service);

    // Whether the entry was made from an empty optional or a null pointer.
    bool isEmpty() const noexcept { return !value_.has_value() && object_ == nullptr; }

    template <std::copy_constructible T>
    std::optional<T> as() const;

private:
    template <class S>
    [[noreturn]] static void throwAs(void* object) {
        throw static_cast<S*>(object);
    }

    // A value service: the copy as registered.
    std::any value_;

    // An object service: the registered pointer, its object as void* (sharing
    // its ownership), a function that throws the object as the registered
    // pointer type (so that a catch clause can test the upcast), and the
    // object's dynamic type and most-derived address.
    std::any registeredPointer_;
    std::shared_ptr<void> object_;
    void (*throwRegistered_)(void*) = nullptr;
    const std::type_info* dynamicType_ = nullptr;
    void* mostDerived_ = nullptr;
    bool isConstObject_ = false;
};

template <std::copy_constructible T>
ServiceEntry ServiceEntry::holding(T service) {
    if constexpr (detail::IsOptionalService<T>::value) {
        return service ? holding(std::move(*service)) : ServiceEntry();
    } else if constexpr (detail::IsSharedService<T>::value) {
        using S = typename T::element_type;
        using Mutable = std::remove_cv_t<S>;
        ServiceEntry entry;
        if (service == nullptr) {
            return entry;
        }
        Mutable* address = const_cast<Mutable*>(service.get());
        entry.object_ = std::shared_ptr<void>(service, address);
        entry.throwRegistered_ = &throwAs<S>;
        entry.isConstObject_ = std::is_const_v<S>;
        if constexpr (std::is_polymorphic_v<S>) {
            entry.dynamicType_ = &typeid(*address);
            entry.mostDerived_ = dynamic_cast<void*>(address);
        } else {
            entry.dynamicType_ = &typeid(S);
            entry.mostDerived_ = address;
        }
        entry.registeredPointer_ = std::move(service);
        return entry;
    } else {
        ServiceEntry entry;
        entry.value_ = std::move(service);
        return entry;
    }
}

template <std::copy_constructible T>
std::optional<T> ServiceEntry::as() const {
    if constexpr (detail::IsOptionalService<T>::value) {
        auto value = as<typename T::value_type>();
        if (!value) {
            return std::nullopt;
        }
        return std::optional<T>(std::in_place, std::move(*value));
    } else if constexpr (detail::IsSharedService<T>::value) {
        using U = typename T::element_type;
        if (object_ == nullptr) {
            return std::nullopt;
        }
        if (const T* exact = std::any_cast<T>(&registeredPointer_)) {
            return *exact;
        }
        try {
            throwRegistered_(object_.get());
        } catch (U* base) {
            return T(object_, base);
        } catch (...) {
        }
        if (*dynamicType_ == typeid(U) && (std::is_const_v<U> || !isConstObject_)) {
            return T(object_, static_cast<U*>(mostDerived_));
        }
        return std::nullopt;
    } else {
        if (const T* value = std::any_cast<T>(&value_)) {
            return *value;
        }
        return std::nullopt;
    }
}

}  // namespace orvane
