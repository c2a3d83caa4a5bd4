// Result: the two-case value that reports the outcome of an operation —
// `success` carrying a Value, or `failure` carrying an error of type E.
//
// Result<void, E> (VoidResult<E>) is the void result, a success that carries
// nothing; Result<std::shared_ptr<Empty>, E> (EmptyResult<E>) carries the
// unit object instead, for places where only objects go. asVoid() and
// asEmpty() convert between the two; each Empty they make is a new object.
//
// Besides the case tests and payload accessors a result has:
//   - boolValue(): false for a failure; for a success, the success value when
//     it is a Boolean — a bool, or an Object or std::any holding one (tested
//     at run time) — and true for any other value;
//   - optionalValue() / value(): the success payload or nothing;
//   - rawValue() / fromRawValue(): the dictionary form, one entry under
//     "success" or "failure" holding the payload converted with toObject.
//     The way back converts with Object::as<T>(); a "failure" entry of the
//     error type wins, otherwise a "success" entry of the value type is
//     taken, otherwise there is no result. The void result's success entry
//     is an Empty object, and only an Empty object is read back as one.
// ResultProtocol is the concept every Result satisfies.
//
// Thread safety: a value type; const access from many threads is safe.
//
//   auto result = orvane::Result<int, orvane::NSError>::success(42);
//   if (result.isSuccess()) use(*result.valueIf());
//   auto dictionary = result.rawValue();    // {"success": 42}
//   auto back = orvane::Result<int, orvane::NSError>::fromRawValue(dictionary);
#pragma once

#include "Core/Empty.hpp"
#include "Platform/Foundation/Object.hpp"

#include <any>
#include <concepts>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

namespace orvane {

template <class Value, class E>
class Result;

namespace detail {
// The private key set of the dictionary form, in declaration order.
enum class ResultKeys { failure, success };
constexpr std::string_view resultKeyName(ResultKeys key) {
    return key == ResultKeys::failure ? "failure" : "success";
}
}  // namespace detail

template <class Value, class E>
class Result {
    static_assert(!std::is_reference_v<Value> && !std::is_reference_v<E>, "a Result holds values");

public:
    using ValueType = Value;
    using ErrorType = E;

    static Result success(Value value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(E error) { return Result(std::in_place_index<1>, std::move(error)); }
    // An Empty result's success: a new Empty object.
    static Result success() requires std::same_as<Value, std::shared_ptr<Empty>> {
        return success(std::make_shared<Empty>());
    }

    bool isSuccess() const noexcept { return storage_.index() == 0; }
    bool isFailure() const noexcept { return !isSuccess(); }
    bool boolValue() const;

    // The payloads, copied out, or nothing for the other case.
    std::optional<Value> value() const {
        return isSuccess() ? std::optional<Value>(std::get<0>(storage_)) : std::nullopt;
    }
    std::optional<Value> optionalValue() const { return value(); }
    std::optional<E> error() const {
        return isFailure() ? std::optional<E>(std::get<1>(storage_)) : std::nullopt;
    }
    // The payloads in place, or nullptr for the other case.
    const Value* valueIf() const noexcept { return std::get_if<0>(&storage_); }
    const E* errorIf() const noexcept { return std::get_if<1>(&storage_); }

    // An Empty result as a void result: the Empty object is dropped.
    Result<void, E> asVoid() const requires std::same_as<Value, std::shared_ptr<Empty>>;

    // The dictionary form; see the file comment.
    ObjectDictionary rawValue() const;
    static std::optional<Result> fromRawValue(const ObjectDictionary& rawValue);

    friend bool operator==(const Result& lhs, const Result& rhs) requires detail::EqualityComparable<Value> &&
        detail::EqualityComparable<E> {
        return lhs.storage_ == rhs.storage_;
    }

private:
    using Keys = detail::ResultKeys;

    template <std::size_t index, class Payload>
    Result(std::in_place_index_t<index> tag, Payload&& payload)
        : storage_(tag, std::forward<Payload>(payload)) {}

    std::variant<Value, E> storage_;
};

// The void result: a success with no value, or a failure.
template <class E>
class Result<void, E> {
public:
    using ValueType = void;
    using ErrorType = E;

    static Result success() { return Result(std::nullopt); }
    static Result failure(E error) { return Result(std::optional<E>(std::move(error))); }

    bool isSuccess() const noexcept { return !error_.has_value(); }
    bool isFailure() const noexcept { return error_.has_value(); }
    bool boolValue() const noexcept { return isSuccess(); }

    std::optional<E> error() const { return error_; }
    const E* errorIf() const noexcept { return error_ ? &*error_ : nullptr; }

    // A void result as an Empty result: a success carries a new Empty.
    Result<std::shared_ptr<Empty>, E> asEmpty() const {
        using EmptyResult = Result<std::shared_ptr<Empty>, E>;
        return isSuccess() ? EmptyResult::success() : EmptyResult::failure(*error_);
    }

    ObjectDictionary rawValue() const;
    static std::optional<Result> fromRawValue(const ObjectDictionary& rawValue);

    friend bool operator==(const Result& lhs, const Result& rhs) requires detail::EqualityComparable<E> {
        return lhs.error_ == rhs.error_;
    }

private:
    using Keys = detail::ResultKeys;

    explicit Result(std::optional<E> error) : error_(std::move(error)) {}

    std::optional<E> error_;
};

template <class E>
using VoidResult = Result<void, E>;
template <class E>
using EmptyResult = Result<std::shared_ptr<Empty>, E>;

// ResultProtocol: the view of any Result — its value and error types, the
// case test, the error as an optional and, unless the result is void, the
// success payload as an optional (`value()`).
template <class R>
concept ResultProtocol = requires(const R& result) {
    typename R::ValueType;
    typename R::ErrorType;
    { result.isSuccess() } -> std::same_as<bool>;
    { result.isFailure() } -> std::same_as<bool>;
    { result.error() } -> std::same_as<std::optional<typename R::ErrorType>>;
}
&&(std::is_void_v<typename R::ValueType> || requires(const R& result) {
    { result.value() } -> std::same_as<std::optional<typename R::ValueType>>;
});

// ---------------------------------------------------------------------------
// Implementation of the templates.

template <class Value, class E>
bool Result<Value, E>::boolValue() const {
    const Value* payload = valueIf();
    if (payload == nullptr) {
        return false;
    }
    if constexpr (std::same_as<Value, bool>) {
        return *payload;
    } else if constexpr (std::same_as<Value, Object>) {
        return payload->template as<bool>().value_or(true);
    } else if constexpr (std::same_as<Value, std::any>) {
        const bool* boolean = std::any_cast<bool>(payload);
        return boolean == nullptr || *boolean;
    } else {
        return true;
    }
}

template <class Value, class E>
Result<void, E> Result<Value, E>::asVoid() const requires std::same_as<Value, std::shared_ptr<Empty>> {
    return isSuccess() ? Result<void, E>::success() : Result<void, E>::failure(std::get<1>(storage_));
}

template <class Value, class E>
ObjectDictionary Result<Value, E>::rawValue() const {
    if (const Value* payload = valueIf()) {
        return {{std::string(detail::resultKeyName(Keys::success)), toObject(*payload)}};
    }
    return {{std::string(detail::resultKeyName(Keys::failure)), toObject(std::get<1>(storage_))}};
}

template <class Value, class E>
std::optional<Result<Value, E>> Result<Value, E>::fromRawValue(const ObjectDictionary& rawValue) {
    if (const auto entry = rawValue.find(detail::resultKeyName(Keys::failure)); entry != rawValue.end()) {
        if (std::optional<E> decoded = entry->second.template as<E>()) {
            return failure(std::move(*decoded));
        }
    }
    if (const auto entry = rawValue.find(detail::resultKeyName(Keys::success)); entry != rawValue.end()) {
        if (std::optional<Value> decoded = entry->second.template as<Value>()) {
            return success(std::move(*decoded));
        }
    }
    return std::nullopt;
}

template <class E>
ObjectDictionary Result<void, E>::rawValue() const {
    if (isSuccess()) {
        return {{std::string(detail::resultKeyName(Keys::success)), Object(std::make_shared<Empty>())}};
    }
    return {{std::string(detail::resultKeyName(Keys::failure)), toObject(*error_)}};
}

template <class E>
std::optional<Result<void, E>> Result<void, E>::fromRawValue(const ObjectDictionary& rawValue) {
    if (const auto entry = rawValue.find(detail::resultKeyName(Keys::failure)); entry != rawValue.end()) {
        if (std::optional<E> decoded = entry->second.template as<E>()) {
            return failure(std::move(*decoded));
        }
    }
    if (const auto entry = rawValue.find(detail::resultKeyName(Keys::success)); entry != rawValue.end()) {
        if (entry->second.template is<std::shared_ptr<Empty>>()) {
            return success();
        }
    }
    return std::nullopt;
}

}  // namespace orvane
