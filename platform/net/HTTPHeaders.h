#pragma once
// HTTP header fields: names compare without regard to case, the first spelling of a name is
// kept, and fields keep the order in which they were first set.
//
// A few fields are found by a scan; past kIndexedFrom fields an index by lower-cased name finds
// them, so that a reply with tens of thousands of header lines is stored in linear time. Copies
// share the index until one of them changes (responses are copied often, and read only).

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace net {

class HTTPHeaders {
public:
    using Field = std::pair<std::string, std::string>;

    HTTPHeaders() = default;
    HTTPHeaders(std::initializer_list<Field> fields);

    // Sets (or, with nothing, removes) a field; an existing field keeps its place and spelling.
    void set(std::string_view name, std::optional<std::string> value);
    // Appends to an existing field with ", " (as repeated response headers are combined).
    void add(std::string_view name, std::string_view value);
    std::optional<std::string> value(std::string_view name) const;
    // The field's value where it is kept (valid until the headers change), or nothing.
    const std::string* find(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != nullptr; }
    void remove(std::string_view name) { set(name, std::nullopt); }

    bool empty() const { return fields_.empty(); }
    std::size_t size() const { return fields_.size(); }
    auto begin() const { return fields_.begin(); }
    auto end() const { return fields_.end(); }

    bool operator==(const HTTPHeaders& other) const { return fields_ == other.fields_; }

    static constexpr std::size_t kIndexedFrom = 16;

private:
    // The position of the field named `name` in fields_, or fields_.size().
    std::size_t position(std::string_view name) const;
    void append(std::string_view name, std::string value);
    void reindex();

    using Index = std::unordered_map<std::string, std::size_t>;
    std::vector<Field> fields_;
    // Lower-cased name -> position in fields_; none while there are fewer than kIndexedFrom fields.
    std::shared_ptr<Index> index_;
};

} // namespace net
