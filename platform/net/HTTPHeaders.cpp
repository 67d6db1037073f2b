#include "platform/net/HTTPHeaders.h"

#include "platform/core/Ascii.h"

namespace net {

HTTPHeaders::HTTPHeaders(std::initializer_list<Field> fields) {
    for (const auto& [name, value] : fields) set(name, value);
}

std::size_t HTTPHeaders::position(std::string_view name) const {
    if (index_) {
        auto it = index_->find(core::ascii::lowered(name));
        return it == index_->end() ? fields_.size() : it->second;
    }
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (core::ascii::equalsIgnoringCase(fields_[i].first, name)) return i;
    }
    return fields_.size();
}

void HTTPHeaders::append(std::string_view name, std::string value) {
    fields_.emplace_back(std::string(name), std::move(value));
    if (!index_) {
        if (fields_.size() >= kIndexedFrom) reindex();
        return;
    }
    // A copy shares its original's index until it changes.
    if (index_.use_count() > 1) index_ = std::make_shared<Index>(*index_);
    index_->emplace(core::ascii::lowered(name), fields_.size() - 1);
}

void HTTPHeaders::reindex() {
    index_.reset();
    if (fields_.size() < kIndexedFrom) return;
    auto index = std::make_shared<Index>();
    index->reserve(fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i) index->emplace(core::ascii::lowered(fields_[i].first), i);
    index_ = std::move(index);
}

void HTTPHeaders::set(std::string_view name, std::optional<std::string> value) {
    const std::size_t at = position(name);
    if (at == fields_.size()) {
        if (value) append(name, std::move(*value));
        return;
    }
    if (value) {
        fields_[at].second = std::move(*value);
        return;
    }
    fields_.erase(fields_.begin() + static_cast<std::ptrdiff_t>(at));
    // Removal is rare (requests drop a default header or two); the later fields move up by one.
    reindex();
}

void HTTPHeaders::add(std::string_view name, std::string_view value) {
    const std::size_t at = position(name);
    if (at == fields_.size()) {
        append(name, std::string(value));
        return;
    }
    fields_[at].second.append(", ").append(value);
}

std::optional<std::string> HTTPHeaders::value(std::string_view name) const {
    if (const std::string* found = find(name)) return *found;
    return std::nullopt;
}

const std::string* HTTPHeaders::find(std::string_view name) const {
    const std::size_t at = position(name);
    return at == fields_.size() ? nullptr : &fields_[at].second;
}

} // namespace net
