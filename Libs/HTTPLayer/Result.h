#pragma once
// Result<T>: the outcome of a serializer, a success holding a T or a failure
// holding an Error (any error, boxed).
//
// Fallible closures. The original's throwing closures become closures that *return* their
// outcome; nothing in this layer throws, and it catches only at its queued steps (see
// currentExceptionError() in Error.h and guardedResult() below). A fallible closure returns a Result<U>, a
// core::Expected<U> (its core::Error becomes the failure) or, when it cannot fail, a plain U.
// evaluating(), tryMap() and tryMapError() take such closures. The one bridge to exceptions is
// valueOrThrow(), which throws the failure's Error for callers who prefer exceptions inside their
// own code.
//
// Text forms: description() is "SUCCESS" or "FAILURE"; debugDescription() adds ": " and the
// value's text form (TextForm.h) or the error's description().

#include "Libs/HTTPLayer/Error.h"
#include "Libs/HTTPLayer/TextForm.h"

#include "platform/core/Error.h"

#include <cassert>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace http {

template <class T>
class Result;

namespace detail {
template <class R>
struct ResultOf {
    using Type = Result<R>;
    static Type make(R&& value) { return Type::success(std::move(value)); }
};
template <class U>
struct ResultOf<Result<U>> {
    using Type = Result<U>;
    static Type make(Result<U>&& result) { return std::move(result); }
};
template <class U>
struct ResultOf<core::Expected<U>> {
    using Type = Result<U>;
    static Type make(core::Expected<U>&& expected) {
        if (expected.ok()) return Type::success(std::move(expected).value());
        return Type::failure(Error(expected.error()));
    }
};
// The Result a fallible closure's return value stands for.
template <class F, class... Args>
using FallibleResult = typename ResultOf<std::decay_t<std::invoke_result_t<F, Args...>>>::Type;
template <class F, class... Args>
FallibleResult<F, Args...> callFallible(F&& f, Args&&... args) {
    using R = std::decay_t<std::invoke_result_t<F, Args...>>;
    return ResultOf<R>::make(std::invoke(std::forward<F>(f), std::forward<Args>(args)...));
}
} // namespace detail

template <class T>
class Result {
public:
    using Value = T;

    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : v_(std::in_place_index<1>, std::move(error)) {}
    template <ErrorType E>
        requires(!std::is_same_v<std::decay_t<E>, T>)
    Result(E error) : Result(Error(std::move(error))) {}

    static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(Error error) { return Result(std::in_place_index<1>, std::move(error)); }

    // Runs a fallible closure: success with what it returns, or failure with what it reports.
    template <class F>
    static Result evaluating(F&& f) {
        return detail::callFallible(std::forward<F>(f));
    }

    bool isSuccess() const { return v_.index() == 0; }
    bool isFailure() const { return !isSuccess(); }

    // The success value, or nothing for a failure.
    std::optional<T> value() const { return isSuccess() ? std::optional<T>(std::get<0>(v_)) : std::nullopt; }
    // The failure's error, or nothing for a success.
    std::optional<Error> error() const { return isFailure() ? std::optional<Error>(std::get<1>(v_)) : std::nullopt; }
    // Direct access without copying; each requires the matching case.
    const T& successValue() const& { assert(isSuccess()); return std::get<0>(v_); }
    // Moves the success value out of a result that is no longer needed.
    T&& successValue() && { assert(isSuccess()); return std::get<0>(std::move(v_)); }
    const Error& failureError() const { assert(isFailure()); return std::get<1>(v_); }

    // The success value; a failure throws its Error.
    const T& valueOrThrow() const {
        if (isFailure()) throw std::get<1>(v_);
        return std::get<0>(v_);
    }

    // Success: success of transform(value) (which cannot fail). Failure: the same failure.
    template <class F>
    auto map(F&& transform) const -> Result<std::decay_t<std::invoke_result_t<F, const T&>>> {
        using U = std::decay_t<std::invoke_result_t<F, const T&>>;
        if (isSuccess()) return Result<U>::success(std::invoke(std::forward<F>(transform), std::get<0>(v_)));
        return Result<U>::failure(std::get<1>(v_));
    }
    // Like map, but the transform is fallible; what it reports becomes the failure.
    template <class F>
    auto tryMap(F&& transform) const -> detail::FallibleResult<F, const T&> {
        using R = detail::FallibleResult<F, const T&>;
        if (isSuccess()) return detail::callFallible(std::forward<F>(transform), std::get<0>(v_));
        return R::failure(std::get<1>(v_));
    }
    // Failure: failure with transform(error), any error type. Success: the same success.
    template <class F>
    Result mapError(F&& transform) const {
        if (isSuccess()) return *this;
        return failure(Error(std::invoke(std::forward<F>(transform), std::get<1>(v_))));
    }
    // Like mapError, but the transform is fallible: what it returns, or what it reports, becomes
    // the failure.
    template <class F>
    Result tryMapError(F&& transform) const {
        if (isSuccess()) return *this;
        auto mapped = detail::callFallible(std::forward<F>(transform), std::get<1>(v_));
        if (mapped.isFailure()) return failure(mapped.failureError());
        return failure(Error(mapped.successValue()));
    }

    // Calls the closure with the success value (or the error); returns the result unchanged.
    template <class F>
    const Result& peekValue(F&& f) const {
        if (isSuccess()) std::invoke(std::forward<F>(f), std::get<0>(v_));
        return *this;
    }
    template <class F>
    const Result& peekError(F&& f) const {
        if (isFailure()) std::invoke(std::forward<F>(f), std::get<1>(v_));
        return *this;
    }
    // Calls the argument-less closure on success (on failure); returns the result unchanged.
    template <class F>
    const Result& onSuccess(F&& f) const {
        if (isSuccess()) std::invoke(std::forward<F>(f));
        return *this;
    }
    template <class F>
    const Result& onFailure(F&& f) const {
        if (isFailure()) std::invoke(std::forward<F>(f));
        return *this;
    }

    std::string description() const { return isSuccess() ? "SUCCESS" : "FAILURE"; }
    std::string debugDescription() const {
        return isSuccess() ? "SUCCESS: " + textForm(std::get<0>(v_)) : "FAILURE: " + std::get<1>(v_).description();
    }

private:
    template <std::size_t I, class A>
    Result(std::in_place_index_t<I> index, A&& a) : v_(index, std::forward<A>(a)) {}

    std::variant<T, Error> v_;
};

// Runs `step`, which gives a Result; an exception out of it becomes a failure (see
// currentExceptionError()).
template <class F>
auto guardedResult(F&& step) -> decltype(step()) {
    try {
        return step();
    } catch (...) {
        return decltype(step())::failure(currentExceptionError());
    }
}

} // namespace http
