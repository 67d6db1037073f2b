#pragma once
// Platform values (fonts, colours, paragraph styles, run delegates, images, callbacks) carried
// inside a core::Value, so that an attribute dictionary is an ordinary core::Dictionary.
//
// core::Value compares objects by identity; attribute runs must instead coalesce when their
// values are equal (two separately made 15-point fonts are one run). Boxed values therefore
// compare by value where their type can, and attributeValuesEqual() is the equality the text
// layer uses for attribute values.

#include "platform/core/Object.h"
#include "platform/core/Value.h"

#include <concepts>
#include <memory>

namespace text {

class BoxedValueBase : public core::Object {
    QUILLORA_CLASS(BoxedValue)
    virtual bool isEqual(const BoxedValueBase& other) const = 0;
};

template <class T>
class Boxed final : public BoxedValueBase {
public:
    explicit Boxed(T value) : value_(std::move(value)) {}
    const T& value() const { return value_; }

    bool isEqual(const BoxedValueBase& other) const override {
        auto* same = dynamic_cast<const Boxed<T>*>(&other);
        if (!same) return false;
        if constexpr (std::equality_comparable<T>) return same->value_ == value_;
        else return same == this;  // callbacks and the like compare by identity
    }

private:
    T value_;
};

template <class T>
core::Value box(T value) {
    return core::Value(std::static_pointer_cast<core::Object>(std::make_shared<Boxed<T>>(std::move(value))));
}

// The boxed T inside the value, or nullptr when it holds something else (or is null).
template <class T>
const T* unbox(const core::Value* value) {
    if (!value || !value->isObject()) return nullptr;
    auto* boxed = dynamic_cast<const Boxed<T>*>(value->asObject().get());
    return boxed ? &boxed->value() : nullptr;
}
template <class T>
const T* unbox(const core::Value& value) { return unbox<T>(&value); }

// Deep equality where boxed values compare by their contents and dictionaries and arrays element
// by element; everything else as core::Value compares.
bool attributeValuesEqual(const core::Value& a, const core::Value& b);
bool attributesEqual(const core::Dictionary& a, const core::Dictionary& b);

} // namespace text
