#pragma once
// NXModel: the base of every object the app fills from the service's JSON.
//
// reloadModel copies a JSON dictionary onto the object's properties by name. Nested members that
// hold objects or arrays of objects become model instances of the class that the process-wide
// class map names for them ("Owner.property" or the bare property name -> class name). Every
// problem is logged and skipped key by key; nothing is thrown to the caller.
//
// Properties are declared per class in a PropertyTable. A property only takes a value of its own
// kind: a scalar from the JSON arrives as its text form and may become a text or a 64-bit integer
// (the text's leading decimal number); a JSON null arrives as the empty text (so a text property
// reads "" and an integer 0, never "<null>"); any other mismatch is logged with the missing-field line
// and the property keeps its old value.
//
// Main thread only; the class map is not locked.

#include "platform/core/Object.h"
#include "platform/core/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace network {

class NXModel;

// The settable, readable properties of one model class, by name.
class PropertyTable {
public:
    struct Property {
        std::string name;
        // Sets the property from a value; false when the value is not of the property's kind.
        std::function<bool(NXModel&, const core::Value&)> set;
        std::function<core::Value(const NXModel&)> get;
    };

    // A derived class's table starts as a copy of its base class's table.
    template <class Owner>
    PropertyTable& text(std::string name, std::string Owner::*member);
    template <class Owner>
    PropertyTable& text(std::string name, std::optional<std::string> Owner::*member);
    template <class Owner>
    PropertyTable& integer(std::string name, std::int64_t Owner::*member);
    template <class Owner>
    PropertyTable& dictionary(std::string name, std::optional<core::Dictionary> Owner::*member);
    template <class Owner, class Element>
    PropertyTable& list(std::string name, std::vector<std::shared_ptr<Element>> Owner::*member);
    template <class Owner>
    PropertyTable& list(std::string name, std::vector<std::string> Owner::*member);
    // A list that takes its elements as they come.
    template <class Owner>
    PropertyTable& list(std::string name, core::Array Owner::*member);
    template <class Owner, class Model>
    PropertyTable& object(std::string name, std::shared_ptr<Model> Owner::*member);

    const Property* find(std::string_view name) const;

private:
    // A property held in a member; `read` turns a value into the member's type, or nothing when
    // the value is of another kind.
    template <class Owner, class T, class Read>
    PropertyTable& bind(std::string name, T Owner::*member, Read read);
    template <class Owner>
    PropertyTable& add(std::string name, std::function<bool(Owner&, const core::Value&)> set,
                       std::function<core::Value(const Owner&)> get);

    std::vector<Property> properties_;
};

class NXModel : public core::Object {
    QUILLORA_CLASS(NXModel)

    // Fills the receiver from a dictionary. Nothing, an empty dictionary, or a value that is not a
    // dictionary leaves the receiver unchanged.
    void reloadModel(const std::optional<core::Value>& json);
    void reloadModel(const core::Dictionary& json);
    // Fills the receiver from a JSON file in the program's resource folder.
    void reloadModelWithPath(const std::string& fileName);

    // The text read as JSON; nothing for nothing, and nothing (with a log line) for text that is not JSON.
    static std::optional<core::Value> dictionaryWithJsonString(const std::optional<std::string>& text);

    // One new instance of T per element, each filled from that element.
    template <class T>
    static std::vector<std::shared_ptr<T>> GetModelFromArray(const core::Array& array) {
        std::vector<std::shared_ptr<T>> out;
        out.reserve(array.size());
        for (const auto& element : array) {
            auto model = core::make<T>();
            model->reloadModel(std::optional<core::Value>(element));
            out.push_back(std::move(model));
        }
        return out;
    }

    // The class map: "Owner.property" (or a bare property name) -> element class name.
    static core::Dictionary& sharedNXModelClassDefault();

    // Key-value access by property name.
    virtual const PropertyTable& properties() const;
    bool hasProperty(std::string_view name) const { return properties().find(name) != nullptr; }
    std::optional<core::Value> valueForKey(std::string_view name) const;

protected:
    // For class initialisers: maps Owner's property to Element's class and makes Element
    // creatable by name.
    template <class Owner, class Element>
    static void registerElementClass(std::string_view property) {
        core::ClassRegistry::registerClass<Element>();
        sharedNXModelClassDefault().set(std::string(Owner::kClassName) + "." + std::string(property),
                                        core::Value(Element::kClassName));
    }

private:
    void fillKey(const std::string& key, const core::Value& value);
    void setChecked(const std::string& property, const core::Value& value);
};

// ---- PropertyTable templates ----

namespace detail {

// Readers take a value of the property's own kind (or nothing); writers give the property's value.
std::optional<std::string> readText(const core::Value& v);
std::optional<std::int64_t> readInteger(const core::Value& v);
std::optional<core::Dictionary> readDictionary(const core::Value& v);
std::optional<core::Array> readArray(const core::Value& v);
std::optional<std::vector<std::string>> readTexts(const core::Value& v);

template <class Element>
std::optional<std::vector<std::shared_ptr<Element>>> readModels(const core::Value& v) {
    if (!v.isArray()) return std::nullopt;
    std::vector<std::shared_ptr<Element>> out;
    for (const auto& e : v.asArray()) {
        auto element = e.template object<Element>();
        if (!element) return std::nullopt;
        out.push_back(std::move(element));
    }
    return out;
}

template <class T>
core::Value write(const T& value) {
    return core::Value(value);
}
template <class T>
core::Value write(const std::optional<T>& value) {
    return value ? core::Value(*value) : core::Value();
}
template <class T>
core::Value write(const std::vector<T>& values) {
    core::Array out;
    for (const auto& v : values) out.push_back(core::Value(v));
    return core::Value(std::move(out));
}
inline core::Value write(const std::int64_t& value) { return core::Value(static_cast<long long>(value)); }

} // namespace detail

template <class Owner, class T, class Read>
PropertyTable& PropertyTable::bind(std::string name, T Owner::*member, Read read) {
    return add<Owner>(
        std::move(name),
        [member, read](Owner& o, const core::Value& v) {
            auto value = read(v);
            if (!value) return false;
            o.*member = std::move(*value);
            return true;
        },
        [member](const Owner& o) { return detail::write(o.*member); });
}

template <class Owner>
PropertyTable& PropertyTable::add(std::string name, std::function<bool(Owner&, const core::Value&)> set,
                                  std::function<core::Value(const Owner&)> get) {
    properties_.push_back(Property{
        std::move(name),
        [set = std::move(set)](NXModel& m, const core::Value& v) { return set(static_cast<Owner&>(m), v); },
        [get = std::move(get)](const NXModel& m) { return get(static_cast<const Owner&>(m)); }});
    return *this;
}

template <class Owner>
PropertyTable& PropertyTable::text(std::string name, std::string Owner::*member) {
    return bind(std::move(name), member, detail::readText);
}

template <class Owner>
PropertyTable& PropertyTable::text(std::string name, std::optional<std::string> Owner::*member) {
    return bind(std::move(name), member, detail::readText);
}

template <class Owner>
PropertyTable& PropertyTable::integer(std::string name, std::int64_t Owner::*member) {
    return bind(std::move(name), member, detail::readInteger);
}

template <class Owner>
PropertyTable& PropertyTable::dictionary(std::string name, std::optional<core::Dictionary> Owner::*member) {
    return bind(std::move(name), member, detail::readDictionary);
}

template <class Owner, class Element>
PropertyTable& PropertyTable::list(std::string name, std::vector<std::shared_ptr<Element>> Owner::*member) {
    return bind(std::move(name), member, detail::readModels<Element>);
}

template <class Owner>
PropertyTable& PropertyTable::list(std::string name, std::vector<std::string> Owner::*member) {
    return bind(std::move(name), member, detail::readTexts);
}

template <class Owner>
PropertyTable& PropertyTable::list(std::string name, core::Array Owner::*member) {
    return bind(std::move(name), member, detail::readArray);
}

template <class Owner, class Model>
PropertyTable& PropertyTable::object(std::string name, std::shared_ptr<Model> Owner::*member) {
    return bind(std::move(name), member, [](const core::Value& v) -> std::optional<std::shared_ptr<Model>> {
        auto model = v.template object<Model>();
        if (!model) return std::nullopt;
        return model;
    });
}

} // namespace network
