#pragma once
// Errors as values. No exception crosses a module boundary or a C callback: fallible calls
// return Expected<T>, which holds either the value or an Error with a domain, a code and a
// fixed description.

#include "platform/core/Value.h"

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace core {

struct Error {
    std::string domain;
    long long code = 0;
    std::string description;
    Dictionary userInfo;

    bool operator==(const Error& other) const { return domain == other.domain && code == other.code; }
};

template <class T>
class [[nodiscard]] Expected {
public:
    Expected(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Expected(Error error) : v_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { assert(ok()); return std::get<0>(v_); }
    const T& value() const& { assert(ok()); return std::get<0>(v_); }
    T&& value() && { assert(ok()); return std::get<0>(std::move(v_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const Error& error() const { assert(!ok()); return std::get<1>(v_); }

    T valueOr(T fallback) const& { return ok() ? std::get<0>(v_) : std::move(fallback); }

private:
    std::variant<T, Error> v_;
};

// For operations that yield nothing but can fail.
struct Unit {};
using Status = Expected<Unit>;
inline Status success() { return Unit{}; }

} // namespace core
