#pragma once
// Any error, boxed: the failure half of a Result and the "underlying error" of an HTTPError.
//
// The layer's failures come in a few concrete types (HTTPError, AdaptError, the platform's
// core::Error from the transport, the JSON and property-list readers and writers, and whatever a
// caller's own closures report). An Error holds one of them by value, shares it between copies
// (errors are immutable) and gives its two text forms:
// - description(): the full textual form (what callers print);
// - localizedDescription(): the message (what users read).
// An error type is any copyable type with both member functions, plus core::Error, whose full
// form is "Error Domain=<domain> Code=<code> \"<message>\"" as the platform prints its errors.
// as<E>() gives the boxed value back when it is of type E.

#include "platform/core/Error.h"

#include <concepts>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

namespace http {

class Error;

template <class E>
concept ErrorType = !std::is_same_v<std::decay_t<E>, Error> &&
                    (std::is_same_v<std::decay_t<E>, core::Error> || requires(const E& e) {
                        { e.description() } -> std::convertible_to<std::string>;
                        { e.localizedDescription() } -> std::convertible_to<std::string>;
                    });

namespace detail {
std::string platformErrorDescription(const core::Error& error);
std::string platformErrorMessage(const core::Error& error);
} // namespace detail

class Error {
public:
    template <ErrorType E>
    Error(E error) : box_(std::make_shared<const Box<std::decay_t<E>>>(std::move(error))) {}

    std::string description() const { return box_->description(); }
    std::string localizedDescription() const { return box_->localizedDescription(); }

    template <class E>
    const E* as() const {
        auto* box = dynamic_cast<const Box<E>*>(box_.get());
        return box ? &box->value : nullptr;
    }
    template <class E>
    bool is() const { return as<E>() != nullptr; }

    // The same boxed error (copies of one Error), not equal contents.
    bool isSameInstance(const Error& other) const { return box_ == other.box_; }

private:
    struct Concept {
        virtual ~Concept() = default;
        virtual std::string description() const = 0;
        virtual std::string localizedDescription() const = 0;
    };
    template <class E>
    struct Box final : Concept {
        explicit Box(E e) : value(std::move(e)) {}
        std::string description() const override {
            if constexpr (std::is_same_v<E, core::Error>) {
                return detail::platformErrorDescription(value);
            } else {
                return value.description();
            }
        }
        std::string localizedDescription() const override {
            if constexpr (std::is_same_v<E, core::Error>) {
                return detail::platformErrorMessage(value);
            } else {
                return value.localizedDescription();
            }
        }
        E value;
    };

    std::shared_ptr<const Concept> box_;
};

// An exception that reaches one of the layer's queued steps (memory running out while a body is
// encoded or a response serialized, a caller's closure that throws) becomes this error, reported
// through the step's completion, so that every caller hears back exactly once. Call it inside a
// catch block. Allocation failures have code ENOMEM; anything else code 1 and its what().
inline constexpr const char* kExceptionErrorDomain = "HTTPLayer.exception";
core::Error currentExceptionError();

} // namespace http
