#include "platform/net/HTTPHeaders.h"

#include "platform/core/Ascii.h"

namespace net {

namespace {

bool sameName(std::string_view a, std::string_view b) { return core::ascii::equalsIgnoringCase(a, b); }

} // namespace

HTTPHeaders::HTTPHeaders(std::initializer_list<Field> fields) {
    for (const auto& [name, value] : fields) set(name, value);
}

void HTTPHeaders::set(std::string_view name, std::optional<std::string> value) {
    for (auto it = fields_.begin(); it != fields_.end(); ++it) {
        if (!sameName(it->first, name)) continue;
        if (value) {
            it->second = std::move(*value);
        } else {
            fields_.erase(it);
        }
        return;
    }
    if (value) fields_.emplace_back(std::string(name), std::move(*value));
}

void HTTPHeaders::add(std::string_view name, std::string_view value) {
    for (auto& field : fields_) {
        if (sameName(field.first, name)) {
            field.second.append(", ").append(value);
            return;
        }
    }
    fields_.emplace_back(std::string(name), std::string(value));
}

std::optional<std::string> HTTPHeaders::value(std::string_view name) const {
    if (const std::string* found = find(name)) return *found;
    return std::nullopt;
}

const std::string* HTTPHeaders::find(std::string_view name) const {
    for (const auto& field : fields_) {
        if (sameName(field.first, name)) return &field.second;
    }
    return nullptr;
}

} // namespace net
