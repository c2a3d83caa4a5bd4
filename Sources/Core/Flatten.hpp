// flatten: turns a result of a result into one result whose error is an
// AnyError holding the error of whichever level failed.
//
//   success(success(v))  ->  success(v)
//   success(failure(e1)) ->  failure(AnyError(e1))
//   failure(e2)          ->  failure(AnyError(e2))
//
// An error that is already an AnyError is handed to AnyError's constructor
// as it is, which shares its inner error instead of nesting it.
//
// Thread safety: a pure function of its argument.
//
//   using Inner = orvane::Result<int, orvane::NSError>;
//   auto flat = orvane::flatten(orvane::Result<Inner, ParseError>::success(Inner::success(1)));
#pragma once

#include "Core/AnyError.hpp"
#include "Core/Result.hpp"

namespace orvane {

template <class Value, class E1, class E2>
Result<Value, AnyError> flatten(const Result<Result<Value, E1>, E2>& nested) {
    using Flat = Result<Value, AnyError>;
    if (const E2* outer = nested.errorIf()) {
        return Flat::failure(AnyError(*outer));
    }
    const Result<Value, E1>& inner = *nested.valueIf();
    if (const E1* error = inner.errorIf()) {
        return Flat::failure(AnyError(*error));
    }
    if constexpr (std::is_void_v<Value>) {
        return Flat::success();
    } else {
        return Flat::success(*inner.valueIf());
    }
}

}  // namespace orvane
