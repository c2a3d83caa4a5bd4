// AsyncStep and compose: chaining asynchronous steps that report a Result.
//
// A step takes an input and a completion, returns at once, and later calls
// the completion with success(output) or failure(error). compose(first,
// second), also written first >> second, is the step that runs `first` and,
// on its success, runs `second` on the output with the caller's completion;
// on its failure the caller's completion gets that same error and `second`
// never runs. `a >> b >> c` runs a, b, c in that order, each on the previous
// success value, and the first failure ends the chain. If a step never calls
// its completion, the chain stops there and never completes.
//
// The composed step keeps both steps alive; while `first` is running, its
// callback keeps `second` and the caller's completion alive until the
// callback itself is released.
//
// Thread safety: a composed step may be called from any thread, as often as
// the steps allow. Nothing is moved to another thread: each callback runs
// where the step that calls it runs it.
//
//   orvane::AsyncStep<int, orvane::NSError> addOne = [](int n, auto completion) {
//       completion(orvane::Result<int, orvane::NSError>::success(n + 1));
//   };
//   (addOne >> addOne)(1, [](orvane::Result<int, orvane::NSError> r) { /* success(3) */ });
//
// Plain lambdas may stand on either side of >> when their parameters are
// spelled out (input, AsyncStepCompletion<A, E>); with a lambda on both
// sides, bring the operator in with `using orvane::operator>>;`.
#pragma once

#include "Core/Result.hpp"

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace orvane {

template <class A, class E>
using AsyncStepCompletion = std::function<void(Result<A, E>)>;

template <class A, class E>
using AsyncStep = std::function<void(A, AsyncStepCompletion<A, E>)>;

template <class A, class E>
AsyncStep<A, E> compose(AsyncStep<A, E> first, AsyncStep<A, E> second) {
    // Shared so that neither calling the composed step nor its callback copies
    // the steps' captured state.
    auto sharedFirst = std::make_shared<const AsyncStep<A, E>>(std::move(first));
    auto sharedSecond = std::make_shared<const AsyncStep<A, E>>(std::move(second));
    return [sharedFirst, sharedSecond](A input, AsyncStepCompletion<A, E> completion) {
        (*sharedFirst)(std::move(input),
                       [sharedSecond, completion = std::move(completion)](Result<A, E> result) {
                           if (const A* value = result.valueIf()) {
                               (*sharedSecond)(*value, completion);
                           } else {
                               completion(std::move(result));  // the same failure, as it came
                           }
                       });
    };
}

// compose(first, second) as an operator; left-associative, like the chain.
template <class A, class E>
AsyncStep<A, E> operator>>(AsyncStep<A, E> first, AsyncStep<A, E> second) {
    return compose(std::move(first), std::move(second));
}

namespace detail {

// The input and error types of a plain (non-generic) lambda written as a step.
template <class Member>
struct StepSignature {};
template <class C, class R, class A, class E>
struct StepSignature<R (C::*)(A, AsyncStepCompletion<A, E>) const> {
    using Input = A;
    using Error = E;
};
template <class C, class R, class A, class E>
struct StepSignature<R (C::*)(A, AsyncStepCompletion<A, E>)> : StepSignature<R (C::*)(A, AsyncStepCompletion<A, E>) const> {};

template <class F>
using StepOf = StepSignature<decltype(&std::remove_cvref_t<F>::operator())>;

template <class F>
concept PlainStep = requires { typename StepOf<F>::Input; } &&
                    !std::is_same_v<std::remove_cvref_t<F>, AsyncStep<typename StepOf<F>::Input, typename StepOf<F>::Error>>;

}  // namespace detail

// The same with a plain lambda on either side, or on both.
template <class A, class E, class F>
requires(!std::is_same_v<std::remove_cvref_t<F>, AsyncStep<A, E>> && std::is_constructible_v<AsyncStep<A, E>, F>)
AsyncStep<A, E> operator>>(AsyncStep<A, E> first, F&& second) {
    return compose(std::move(first), AsyncStep<A, E>(std::forward<F>(second)));
}

template <class A, class E, class F>
requires(!std::is_same_v<std::remove_cvref_t<F>, AsyncStep<A, E>> && std::is_constructible_v<AsyncStep<A, E>, F>)
AsyncStep<A, E> operator>>(F&& first, AsyncStep<A, E> second) {
    return compose(AsyncStep<A, E>(std::forward<F>(first)), std::move(second));
}

template <detail::PlainStep F, detail::PlainStep G,
          class A = typename detail::StepOf<F>::Input, class E = typename detail::StepOf<F>::Error>
requires std::is_constructible_v<AsyncStep<A, E>, G>
AsyncStep<A, E> operator>>(F&& first, G&& second) {
    return compose(AsyncStep<A, E>(std::forward<F>(first)), AsyncStep<A, E>(std::forward<G>(second)));
}

}  // namespace orvane
