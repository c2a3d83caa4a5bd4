// Object: the dynamic value that stands for the platform's objects.
//
// An Object is null (the null object, NSNull), a Boolean, a 64-bit integer
// (signed, or unsigned above the signed range), a
// double, a string, a byte buffer, a date, an array, a string-keyed
// dictionary, a shared reference to an NSObject, or an opaque box holding any
// other C++ value. Numbers remember which of the three number kinds they are.
//
// Checked conversion, `as<T>()`, answers "is this a T" without surprises:
//   - a Boolean converts only to bool, and bool accepts only a Boolean;
//   - an integer type accepts integers, and doubles with an integral value,
//     that fit its range; floating types accept integers and doubles;
//   - a string is never a number and a number never a string;
//   - std::vector<U> and std::map<std::string, U> convert element by element;
//   - std::shared_ptr<U> (U an NSObject) and NSObject-derived values convert
//     from references by dynamic type;
//   - any other type converts only from a box holding exactly that type.
// `toObject(value)` is the way in, the inverse of `as<T>()` for every type.
//
// Arrays and dictionaries are immutable and shared between copies, so copying
// an Object is cheap. Value type: const access from many threads is safe.
//
//   orvane::Object number = orvane::toObject(42);
//   number.as<int>();          // 42
//   number.as<bool>();         // nullopt: a number is not a Boolean
//   orvane::Object boxed = orvane::toObject(std::pair{1, 2});
//   boxed.as<std::pair<int, int>>();   // {1, 2}
#pragma once

#include "Platform/Foundation/Data.hpp"
#include "Platform/Foundation/Date.hpp"
#include "Platform/Foundation/NSObject.hpp"

#include <cmath>
#include <concepts>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <variant>
#include <vector>

namespace orvane {

class Object;
using ObjectArray = std::vector<Object>;
using ObjectDictionary = std::map<std::string, Object, std::less<>>;

namespace detail {
template <class T>
struct IsSharedPointer : std::false_type {};
template <class U>
struct IsSharedPointer<std::shared_ptr<U>> : std::true_type {
    using Element = U;
};
template <class T>
struct IsVector : std::false_type {};
template <class U, class A>
struct IsVector<std::vector<U, A>> : std::true_type {
    using Element = U;
};
template <class T>
struct IsStringMap : std::false_type {};
template <class U, class C, class A>
struct IsStringMap<std::map<std::string, U, C, A>> : std::true_type {
    using Element = U;
};
template <class T>
struct IsOptional : std::false_type {};
template <class U>
struct IsOptional<std::optional<U>> : std::true_type {
    using Element = U;
};

template <class T>
concept ObjectInteger =
    std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, char> && !std::same_as<T, char8_t> &&
    !std::same_as<T, char16_t> && !std::same_as<T, char32_t> && !std::same_as<T, wchar_t>;

// A shared pointer to an NSObject or one of its subclasses.
template <class T>
concept ObjectPointer =
    IsSharedPointer<T>::value && std::derived_from<typename IsSharedPointer<T>::Element, NSObject>;

template <class T>
concept EqualityComparable = requires(const T& a, const T& b) {
    { a == b } -> std::convertible_to<bool>;
};
}  // namespace detail

class Object {
public:
    enum class Kind { null, boolean, integer, real, string, data, date, array, dictionary, reference, box };

    // The null object.
    Object() noexcept = default;
    Object(std::nullptr_t) noexcept {}

    Object(bool value) : storage_(value) {}
    // An unsigned value above INT64_MAX keeps its value (kind integer,
    // read through unsignedIf()).
    template <detail::ObjectInteger I>
    Object(I value) {
        if (std::in_range<std::int64_t>(value)) {
            storage_ = static_cast<std::int64_t>(value);
        } else {
            storage_ = static_cast<std::uint64_t>(value);
        }
    }
    Object(double value) : storage_(value) {}
    Object(float value) : storage_(static_cast<double>(value)) {}
    Object(std::string value) : storage_(std::move(value)) {}
    Object(std::string_view value) : storage_(std::string(value)) {}
    Object(const char* value) : storage_(std::string(value)) {}
    Object(Data value) : storage_(std::move(value)) {}
    Object(Date value) : storage_(value) {}
    Object(ObjectArray value);
    Object(ObjectDictionary value);
    // A reference; a null pointer gives the null object.
    template <class T>
    requires std::derived_from<T, NSObject> Object(std::shared_ptr<T> reference) {
        if (reference) {
            storage_ = std::shared_ptr<NSObject>(std::move(reference));
        }
    }

    // An opaque box that converts back only to T.
    template <class T>
    static Object box(T value);

    Kind kind() const noexcept {
        return unsignedIf() != nullptr ? Kind::integer : static_cast<Kind>(storage_.index());
    }
    bool isNull() const noexcept { return kind() == Kind::null; }
    // A number object: Boolean, integer or double.
    bool isNumber() const noexcept;
    // The value of any number object as a double (a Boolean is 0 or 1), or
    // nothing when this is not a number.
    std::optional<double> numberValue() const noexcept;

    // Checked conversion; see the file comment.
    template <class T>
    std::optional<T> as() const;
    template <class T>
    bool is() const {
        return as<T>().has_value();
    }

    // Views of the stored value without a copy; nullptr when the kind differs.
    const bool* booleanIf() const noexcept { return std::get_if<bool>(&storage_); }
    // An integer is one or the other: integerIf() when it fits int64_t,
    // otherwise unsignedIf() (always above INT64_MAX).
    const std::int64_t* integerIf() const noexcept { return std::get_if<std::int64_t>(&storage_); }
    const std::uint64_t* unsignedIf() const noexcept { return std::get_if<std::uint64_t>(&storage_); }
    const double* realIf() const noexcept { return std::get_if<double>(&storage_); }
    const std::string* stringIf() const noexcept { return std::get_if<std::string>(&storage_); }
    const Data* dataIf() const noexcept { return std::get_if<Data>(&storage_); }
    const Date* dateIf() const noexcept { return std::get_if<Date>(&storage_); }
    const ObjectArray* arrayIf() const noexcept;
    const ObjectDictionary* dictionaryIf() const noexcept;
    const std::shared_ptr<NSObject>* referenceIf() const noexcept {
        return std::get_if<std::shared_ptr<NSObject>>(&storage_);
    }

    // Equality as the platform's objects have it: same kind and equal value;
    // integers and doubles compare by numeric value; references by isEqual;
    // boxes by the boxed type's == when it has one, otherwise by identity.
    friend bool operator==(const Object& lhs, const Object& rhs);

    // A short human-readable rendering for diagnostics.
    std::string description() const;

private:
    struct Boxed {
        std::shared_ptr<const void> value;
        std::type_index type;
        bool (*equal)(const void*, const void*);
    };
    using Storage = std::variant<std::monostate, bool, std::int64_t, double, std::string, Data, Date,
                                 std::shared_ptr<const ObjectArray>, std::shared_ptr<const ObjectDictionary>,
                                 std::shared_ptr<NSObject>, Boxed, std::uint64_t>;

    template <class T>
    const T* boxedIf() const noexcept {
        const auto* boxed = std::get_if<Boxed>(&storage_);
        return boxed != nullptr && boxed->type == std::type_index(typeid(T))
                   ? static_cast<const T*>(boxed->value.get())
                   : nullptr;
    }
    template <class I>
    std::optional<I> asInteger() const;

    Storage storage_;
};

// The general conversion of any value to an Object; `as<T>()` undoes it.
template <class T>
Object toObject(T value);

// ---------------------------------------------------------------------------
// Implementation of the templates.

template <class T>
Object Object::box(T value) {
    Object object;
    bool (*equal)(const void*, const void*) = nullptr;
    if constexpr (detail::EqualityComparable<T>) {
        equal = [](const void* lhs, const void* rhs) {
            return static_cast<bool>(*static_cast<const T*>(lhs) == *static_cast<const T*>(rhs));
        };
    }
    object.storage_ = Boxed{std::make_shared<const T>(std::move(value)), std::type_index(typeid(T)), equal};
    return object;
}

template <class I>
std::optional<I> Object::asInteger() const {
    if (const auto* integer = integerIf()) {
        return std::in_range<I>(*integer) ? std::optional<I>(static_cast<I>(*integer)) : std::nullopt;
    }
    if (const auto* large = unsignedIf()) {
        return std::in_range<I>(*large) ? std::optional<I>(static_cast<I>(*large)) : std::nullopt;
    }
    if (const auto* real = realIf()) {
        // NaN fails every comparison. The upper bound is exclusive: max() + 1 is
        // a power of two, exactly representable, and already out of range.
        const long double value = *real;
        constexpr long double lowest = static_cast<long double>(std::numeric_limits<I>::lowest());
        constexpr long double beyond = static_cast<long double>(std::numeric_limits<I>::max()) + 1.0L;
        if (value >= lowest && value < beyond && value == std::trunc(value)) {
            return static_cast<I>(value);
        }
    }
    return std::nullopt;
}

template <class T>
std::optional<T> Object::as() const {
    if (const T* boxed = boxedIf<T>()) {
        return *boxed;
    }
    if constexpr (std::same_as<T, Object>) {
        return *this;
    } else if constexpr (std::same_as<T, bool>) {
        return booleanIf() ? std::optional<bool>(*booleanIf()) : std::nullopt;
    } else if constexpr (detail::ObjectInteger<T>) {
        return asInteger<T>();
    } else if constexpr (std::floating_point<T>) {
        if (const auto* real = realIf()) {
            return static_cast<T>(*real);
        }
        if (const auto* integer = integerIf()) {
            return static_cast<T>(*integer);
        }
        if (const auto* large = unsignedIf()) {
            return static_cast<T>(*large);
        }
        return std::nullopt;
    } else if constexpr (std::same_as<T, std::string>) {
        return stringIf() ? std::optional<std::string>(*stringIf()) : std::nullopt;
    } else if constexpr (std::same_as<T, Data>) {
        return dataIf() ? std::optional<Data>(*dataIf()) : std::nullopt;
    } else if constexpr (std::same_as<T, Date>) {
        return dateIf() ? std::optional<Date>(*dateIf()) : std::nullopt;
    } else if constexpr (std::same_as<T, ObjectArray>) {
        return arrayIf() ? std::optional<ObjectArray>(*arrayIf()) : std::nullopt;
    } else if constexpr (std::same_as<T, ObjectDictionary>) {
        return dictionaryIf() ? std::optional<ObjectDictionary>(*dictionaryIf()) : std::nullopt;
    } else if constexpr (detail::IsVector<T>::value) {
        const auto* array = arrayIf();
        if (array == nullptr) {
            return std::nullopt;
        }
        T result;
        result.reserve(array->size());
        for (const Object& element : *array) {
            auto converted = element.template as<typename detail::IsVector<T>::Element>();
            if (!converted) {
                return std::nullopt;
            }
            result.push_back(std::move(*converted));
        }
        return result;
    } else if constexpr (detail::IsStringMap<T>::value) {
        const auto* dictionary = dictionaryIf();
        if (dictionary == nullptr) {
            return std::nullopt;
        }
        T result;
        for (const auto& [key, element] : *dictionary) {
            auto converted = element.template as<typename detail::IsStringMap<T>::Element>();
            if (!converted) {
                return std::nullopt;
            }
            result.emplace(key, std::move(*converted));
        }
        return result;
    } else if constexpr (detail::IsOptional<T>::value) {
        // Built in place: g++ 12 misreads copies of a disengaged inner optional
        // as uninitialised reads.
        std::optional<T> result;
        if (isNull()) {
            result.emplace();
        } else if (auto converted = as<typename detail::IsOptional<T>::Element>()) {
            result.emplace(std::in_place, std::move(*converted));
        }
        return result;
    } else if constexpr (detail::ObjectPointer<T>) {
        const auto* reference = referenceIf();
        if (reference == nullptr) {
            return std::nullopt;
        }
        auto cast = std::dynamic_pointer_cast<typename detail::IsSharedPointer<T>::Element>(*reference);
        return cast ? std::optional<T>(std::move(cast)) : std::nullopt;
    } else if constexpr (std::derived_from<T, NSObject> && std::is_copy_constructible_v<T>) {
        const auto* reference = referenceIf();
        const auto* cast = reference ? dynamic_cast<const T*>(reference->get()) : nullptr;
        return cast ? std::optional<T>(*cast) : std::nullopt;
    } else {
        return std::nullopt;
    }
}

template <class T>
Object toObject(T value) {
    if constexpr (std::same_as<T, Object>) {
        return value;
    } else if constexpr (std::same_as<T, bool> || detail::ObjectInteger<T> || std::floating_point<T> ||
                         std::same_as<T, std::string> || std::same_as<T, std::string_view> ||
                         std::same_as<T, const char*> || std::same_as<T, Data> || std::same_as<T, Date> ||
                         std::same_as<T, ObjectArray> || std::same_as<T, ObjectDictionary>) {
        return Object(std::move(value));
    } else if constexpr (detail::IsVector<T>::value) {
        ObjectArray array;
        array.reserve(value.size());
        for (auto& element : value) {
            array.push_back(toObject(std::move(element)));
        }
        return Object(std::move(array));
    } else if constexpr (detail::IsStringMap<T>::value) {
        ObjectDictionary dictionary;
        for (auto& [key, element] : value) {
            dictionary.emplace(key, toObject(std::move(element)));
        }
        return Object(std::move(dictionary));
    } else if constexpr (detail::IsOptional<T>::value) {
        return value ? toObject(std::move(*value)) : Object();
    } else if constexpr (detail::ObjectPointer<T>) {
        return Object(std::move(value));
    } else if constexpr (std::derived_from<T, NSObject> && std::is_copy_constructible_v<T>) {
        return Object(std::shared_ptr<T>(std::make_shared<T>(std::move(value))));
    } else {
        return Object::box(std::move(value));
    }
}

}  // namespace orvane
