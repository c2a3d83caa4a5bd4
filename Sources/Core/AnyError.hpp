// AnyError: an error that holds any one error value, so that results with
// different error types can meet in one type (`Result<V, AnyError>`).
//
// What it holds:
//   - an orvane::Error (any subclass): a copy of the value given, as its
//     static type, or the very object when given a shared pointer;
//   - an AnyError: nothing new; the copy shares the inner error, so wrapping
//     twice never nests;
//   - any other copyable type T, a std::exception included: a copy inside a
//     small Error adapter whose domain is T's qualified name
//     ("std.runtime_error"), whose code is the enumerator's value for an
//     enumeration and 1 otherwise, and whose localized description is what()
//     for a std::exception.
// Every Error accessor (domain, code, userInfo, localizedDescription,
// failureReason, recoverySuggestion, what) answers with the held error's.
// `errorIf<T>()` gets the held value back by type.
//
// Thread safety: immutable once made; copies share the held error, which is
// only ever read.
//
//   orvane::AnyError wrapped(orvane::NSError("Seckeychain", -1));
//   wrapped.domain();                      // "Seckeychain"
//   wrapped.errorIf<orvane::NSError>();    // the held NSError
//   orvane::NSError bridged(wrapped);      // domain "", code -1 (see NSError)
#pragma once

#include "Platform/Foundation/Error.hpp"
#include "Platform/Foundation/ErrorKeys.hpp"

#include <concepts>
#include <exception>
#include <memory>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace orvane {

class AnyError;

namespace detail {

// The Error adapter around a value that is not an orvane::Error.
template <class T>
class WrappedError final : public Error {
public:
    explicit WrappedError(T value) : value_(std::move(value)) {
        if constexpr (std::derived_from<T, std::exception>) {
            setSummary(value_.what());
        } else {
            setSummary(genericErrorDescription(domain(), code()));
        }
    }

    const T& value() const noexcept { return value_; }

    std::string domain() const override { return qualifiedClassName(typeid(T)); }
    std::int64_t code() const override {
        if constexpr (std::is_enum_v<T>) {
            return static_cast<std::int64_t>(value_);
        } else {
            return 1;
        }
    }
    ObjectDictionary userInfo() const override {
        if constexpr (std::derived_from<T, std::exception>) {
            return {{std::string(NSLocalizedDescriptionKey), Object(value_.what())}};
        } else {
            return {};
        }
    }

private:
    T value_;
};

}  // namespace detail

class AnyError final : public Error {
public:
    // Holds a copy of `error`, as described in the file comment.
    template <class E>
    requires(!std::same_as<std::remove_cvref_t<E>, AnyError> &&
             !detail::IsSharedPointer<std::remove_cvref_t<E>>::value &&
             std::copy_constructible<std::remove_cvref_t<E>>) explicit AnyError(E&& error)
        : error_(hold(std::forward<E>(error))) {}

    // Holds this very object; a null pointer throws std::invalid_argument.
    explicit AnyError(std::shared_ptr<const Error> error);

    // Copies share the held error: AnyError(AnyError(e)) holds e itself.
    AnyError(const AnyError&) = default;
    AnyError& operator=(const AnyError&) = default;

    // The held error, as an Error (a WrappedError for a non-Error value).
    const Error& error() const noexcept { return *error_; }
    const std::shared_ptr<const Error>& errorPointer() const noexcept { return error_; }

    // The held value when it is a T (an Error of dynamic type T or derived
    // from it, or a wrapped value of exactly type T); nullptr otherwise.
    template <class T>
    const T* errorIf() const noexcept {
        if constexpr (std::derived_from<T, Error>) {
            return dynamic_cast<const T*>(error_.get());
        } else {
            const auto* wrapped = dynamic_cast<const detail::WrappedError<T>*>(error_.get());
            return wrapped != nullptr ? &wrapped->value() : nullptr;
        }
    }

    std::string domain() const override { return error_->domain(); }
    std::int64_t code() const override { return error_->code(); }
    ObjectDictionary userInfo() const override { return error_->userInfo(); }
    std::string localizedDescription() const override { return error_->localizedDescription(); }
    std::optional<std::string> failureReason() const override { return error_->failureReason(); }
    std::optional<std::string> recoverySuggestion() const override { return error_->recoverySuggestion(); }
    const char* what() const noexcept override { return error_->what(); }

private:
    template <class E>
    static std::shared_ptr<const Error> hold(E&& error) {
        using Held = std::remove_cvref_t<E>;
        if constexpr (std::derived_from<Held, Error>) {
            return std::make_shared<const Held>(std::forward<E>(error));
        } else {
            return std::make_shared<const detail::WrappedError<Held>>(std::forward<E>(error));
        }
    }

    std::shared_ptr<const Error> error_;
};

}  // namespace orvane
