#pragma once
// URL conversion and request building.
//
// URLConvertible and URLRequestConvertible are small type-erased values (copyable, shared,
// immutable), so that every operation of the layer accepts a string, a URL, URL components or a
// ready URL request directly, and any type of the caller's with an asURL() / asURLRequest()
// member returning the matching Result.
//
// - A string converts with net::URL::parse, without escaping; a string the parser refuses fails
//   with HTTPError::invalidURL carrying the string. URL components fail the same way when they do
//   not form a URL. A URL, and a URL request, convert to themselves.
// - description() is the value's text form: a string unchanged, a URL's absolute string, the
//   components' text; it is what "URL is not valid: " is followed by.

#include "Libs/HTTPLayer/HTTPMethod.h"
#include "Libs/HTTPLayer/Result.h"

#include "platform/net/HTTPHeaders.h"
#include "platform/net/URL.h"
#include "platform/net/URLRequest.h"

#include <concepts>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace http {

// Header fields as the layer passes them around: names compare without regard to case.
using HTTPHeaders = net::HTTPHeaders;

class URLConvertible {
public:
    URLConvertible(std::string string);
    URLConvertible(const char* string) : URLConvertible(std::string(string)) {}
    URLConvertible(std::string_view string) : URLConvertible(std::string(string)) {}
    URLConvertible(net::URL url);
    URLConvertible(net::URLComponents components);
    template <class T>
        requires(!std::is_same_v<std::decay_t<T>, URLConvertible>) && requires(const T& t) {
            { t.asURL() } -> std::convertible_to<Result<net::URL>>;
        }
    URLConvertible(T custom) : impl_(std::make_shared<const Custom<T>>(std::move(custom))) {}

    Result<net::URL> asURL() const { return impl_->asURL(); }
    std::string description() const { return impl_->description(); }

    // The value given, when it is of type T (std::string, net::URL, net::URLComponents or a
    // caller's type).
    template <class T>
    const T* as() const {
        auto* holder = dynamic_cast<const Holder<T>*>(impl_.get());
        return holder ? &holder->value : nullptr;
    }

    struct Concept {
        virtual ~Concept() = default;
        virtual Result<net::URL> asURL() const = 0;
        virtual std::string description() const = 0;
    };
    template <class T>
    struct Holder : Concept {
        explicit Holder(T v) : value(std::move(v)) {}
        T value;
    };

private:
    template <class T>
    struct Custom final : Holder<T> {
        using Holder<T>::Holder;
        Result<net::URL> asURL() const override { return this->value.asURL(); }
        std::string description() const override {
            if constexpr (requires(const T& t) { t.description(); }) {
                return this->value.description();
            } else {
                auto url = this->value.asURL();
                return url.isSuccess() ? url.successValue().absoluteString() : std::string();
            }
        }
    };

    std::shared_ptr<const Concept> impl_;
};

class URLRequestConvertible {
public:
    URLRequestConvertible(net::URLRequest request);
    template <class T>
        requires(!std::is_same_v<std::decay_t<T>, URLRequestConvertible>) && requires(const T& t) {
            { t.asURLRequest() } -> std::convertible_to<Result<net::URLRequest>>;
        }
    URLRequestConvertible(T custom) : impl_(std::make_shared<const Custom<T>>(std::move(custom))) {}

    Result<net::URLRequest> asURLRequest() const { return impl_->asURLRequest(); }
    // The converted request, or nothing when the conversion fails (the error is dropped).
    std::optional<net::URLRequest> convertedRequest() const { return asURLRequest().value(); }

    struct Concept {
        virtual ~Concept() = default;
        virtual Result<net::URLRequest> asURLRequest() const = 0;
    };

private:
    template <class T>
    struct Custom final : Concept {
        explicit Custom(T v) : value(std::move(v)) {}
        Result<net::URLRequest> asURLRequest() const override { return value.asURLRequest(); }
        T value;
    };

    std::shared_ptr<const Concept> impl_;
};

// URLRequest.init(url:method:headers:): the request for `url` with the default cache policy, a
// time-out of 60 seconds, the method's token and each header field set in turn (a later field
// replaces an earlier one of the same name). A URL that does not convert fails with its error.
Result<net::URLRequest> makeURLRequest(const URLConvertible& url, HTTPMethod method,
                                       const std::optional<HTTPHeaders>& headers = std::nullopt);

} // namespace http
