#include "Libs/HTTPLayer/URLConvertible.h"

#include "Libs/HTTPLayer/HTTPError.h"

namespace http {

namespace {

struct StringURL final : URLConvertible::Holder<std::string> {
    using Holder::Holder;
    Result<net::URL> asURL() const override;
    std::string description() const override { return value; }
};

struct PlainURL final : URLConvertible::Holder<net::URL> {
    using Holder::Holder;
    Result<net::URL> asURL() const override { return value; }
    std::string description() const override { return value.absoluteString(); }
};

struct ComponentsURL final : URLConvertible::Holder<net::URLComponents> {
    using Holder::Holder;
    Result<net::URL> asURL() const override;
    std::string description() const override { return value.string(); }
};

Result<net::URL> StringURL::asURL() const {
    if (auto url = net::URL::parse(value)) return *url;
    return HTTPError::invalidURL(URLConvertible(value));
}

Result<net::URL> ComponentsURL::asURL() const {
    if (auto url = value.url()) return *url;
    return HTTPError::invalidURL(URLConvertible(value));
}

struct PlainRequest final : URLRequestConvertible::Concept {
    explicit PlainRequest(net::URLRequest r) : request(std::move(r)) {}
    Result<net::URLRequest> asURLRequest() const override { return request; }
    net::URLRequest request;
};

} // namespace

URLConvertible::URLConvertible(std::string string) : impl_(std::make_shared<const StringURL>(std::move(string))) {}
URLConvertible::URLConvertible(net::URL url) : impl_(std::make_shared<const PlainURL>(std::move(url))) {}
URLConvertible::URLConvertible(net::URLComponents components)
    : impl_(std::make_shared<const ComponentsURL>(std::move(components))) {}

URLRequestConvertible::URLRequestConvertible(net::URLRequest request)
    : impl_(std::make_shared<const PlainRequest>(std::move(request))) {}

Result<net::URLRequest> makeURLRequest(const URLConvertible& url, HTTPMethod method,
                                       const std::optional<HTTPHeaders>& headers) {
    auto converted = url.asURL();
    if (converted.isFailure()) return converted.failureError();
    net::URLRequest request(converted.successValue(), net::CachePolicy::useProtocolCachePolicy, 60.0);
    request.httpMethod = std::string(rawValue(method));
    if (headers) {
        for (const auto& [name, value] : *headers) request.setValue(value, name);
    }
    return request;
}

} // namespace http
