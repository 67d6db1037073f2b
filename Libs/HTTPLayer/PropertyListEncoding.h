#pragma once
// PropertyListEncoding: parameters as a property-list body (XML or binary), with
// "Content-Type: application/x-plist" unless the request has one. A dictionary the writer
// refuses (a null value, an object, the OpenStep format) fails with
// HTTPError::parameterEncodingFailed(propertyListEncodingFailed) carrying the writer's error.

#include "Libs/HTTPLayer/ParameterEncoding.h"

#include "platform/core/PropertyList.h"

namespace http {

class PropertyListEncoding final : public ParameterEncoding {
public:
    // `options` are passed through; the writer has none that change its output.
    explicit PropertyListEncoding(core::plist::Format format = core::plist::Format::Xml, int options = 0)
        : format_(format), options_(options) {}

    static PropertyListEncoding default_() { return PropertyListEncoding(); }
    static PropertyListEncoding xml() { return PropertyListEncoding(core::plist::Format::Xml); }
    static PropertyListEncoding binary() { return PropertyListEncoding(core::plist::Format::Binary); }

    core::plist::Format format() const { return format_; }
    int options() const { return options_; }

    Result<net::URLRequest> encode(const URLRequestConvertible& request,
                                   const std::optional<Parameters>& parameters) const override;

private:
    core::plist::Format format_;
    int options_;
};

} // namespace http
