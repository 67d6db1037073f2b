#pragma once
// The object model shared by every class the app names at run time.
//
// Objects live in std::shared_ptr and are created in two phases by core::make<T>(): the
// constructor only sets fields, then the virtual init() chain runs on the fully built object, so a
// base class's initialiser may call the most-derived override. Nothing virtual is called from a
// constructor. An override of init() calls its base class's init() first.
//
// Every class that is named at run time (notification names, class maps, log lines) declares a
// stable class name with QUILLORA_CLASS; typeid names are never used. Classes that must be
// created from their name register a factory in the ClassRegistry.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

namespace core {

class Object : public std::enable_shared_from_this<Object> {
public:
    static constexpr std::string_view kClassName = "Object";

    virtual ~Object() = default;
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    virtual std::string_view className() const { return kClassName; }
    // Second phase of creation; see the note at the top.
    virtual void init() {}
    // A text for log lines: "<ClassName: 0x...>" unless a class says more.
    virtual std::string description() const;
};

// Declares the stable run-time name of a class. Put it first in the class body; what follows
// it is public.
#define QUILLORA_CLASS(Name)                                                   \
public:                                                                        \
    static constexpr std::string_view kClassName = #Name;                      \
    std::string_view className() const override { return kClassName; }

// Whether `object` is a T or of a class derived from it, as dynamic_cast tells, remembered per
// class of object: a walk that tests many objects of few classes casts once per class.
template <class T>
bool isKindOf(const Object& object) {
    struct Known {
        const std::type_info* type = nullptr;
        bool isKind = false;
    };
    constexpr unsigned kKnown = 8;
    thread_local Known known[kKnown];
    thread_local unsigned next = 0;
    const std::type_info* type = &typeid(object);
    for (const Known& k : known)
        if (k.type == type) return k.isKind;
    bool isKind = dynamic_cast<const T*>(&object) != nullptr;
    known[next++ % kKnown] = {type, isKind};
    return isKind;
}

// Creates an object in two phases: construct, then init().
template <class T, class... Args>
std::shared_ptr<T> make(Args&&... args) {
    auto object = std::make_shared<T>(std::forward<Args>(args)...);
    object->init();
    return object;
}

// Creating objects from their class name.
class ClassRegistry {
public:
    using Factory = std::function<std::shared_ptr<Object>()>;

    // Registers (or replaces) the factory for a class name. Thread-safe.
    static void registerClass(std::string_view name, Factory factory);
    template <class T>
    static void registerClass() {
        registerClass(T::kClassName, [] { return std::static_pointer_cast<Object>(make<T>()); });
    }
    static bool exists(std::string_view name);
    // A new instance, or nullptr when no class has that name.
    static std::shared_ptr<Object> create(std::string_view name);
};

} // namespace core
