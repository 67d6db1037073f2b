#include "platform/core/KeyedArchive.h"

#include "platform/core/PlistBudget.h"
#include "platform/core/PropertyList.h"

#include <map>
#include <set>

namespace core::archive {

namespace {

constexpr const char* kUidKey = "CF$UID";

Error makeError(std::string description) {
    return Error{std::string(kErrorDomain), 4864, std::move(description), {}};
}

// The reader's view of a UID: the property-list reader gives {"CF$UID": n}.
std::optional<std::uint64_t> uidOf(const Value& v) {
    const auto* d = v.dictionary();
    if (!d || d->size() != 1) return std::nullopt;
    const Value* n = d->find(kUidKey);
    if (!n || !n->isInteger()) return std::nullopt;
    return n->kind() == Value::Kind::UInt ? n->asUInt() : static_cast<std::uint64_t>(n->asInt());
}

class Writer {
public:
    Writer() { objects_.push_back(Value("$null")); }

    Expected<std::uint64_t> add(const Value& v, int depth) {
        if (depth > plist::kMaxDepth) return makeError("archive nested too deeply");
        switch (v.kind()) {
        case Value::Kind::Null: return std::uint64_t{0};
        case Value::Kind::Array: {
            Array refs;
            for (const auto& e : v.asArray()) {
                auto r = add(e, depth + 1);
                if (!r) return r.error();
                refs.push_back(uid(*r));
            }
            return push(Value(Dictionary{{"NS.objects", Value(std::move(refs))},
                                         {"$class", uid(classRef("NSArray"))}}));
        }
        case Value::Kind::Dictionary: {
            Array keys, values;
            for (const auto& [k, e] : v.asDictionary()) {
                keys.push_back(uid(pushInline(Value(k))));
                auto r = add(e, depth + 1);
                if (!r) return r.error();
                values.push_back(uid(*r));
            }
            return push(Value(Dictionary{{"NS.keys", Value(std::move(keys))},
                                         {"NS.objects", Value(std::move(values))},
                                         {"$class", uid(classRef("NSDictionary"))}}));
        }
        case Value::Kind::Object: return makeError("objects cannot be archived");
        default: return pushInline(v);
        }
    }

    Array objects_;

private:
    static Value uid(std::uint64_t n) { return Value(Dictionary{{kUidKey, Value(static_cast<unsigned long long>(n))}}); }

    std::uint64_t push(Value v) {
        objects_.push_back(std::move(v));
        return objects_.size() - 1;
    }
    std::uint64_t pushInline(const Value& v) {
        // Equal texts share one slot, as the platform's archiver does.
        if (v.isString()) {
            auto it = strings_.find(v.asString());
            if (it != strings_.end()) return it->second;
            return strings_[v.asString()] = push(v);
        }
        return push(v);
    }
    std::uint64_t classRef(const std::string& name) {
        auto it = classes_.find(name);
        if (it != classes_.end()) return it->second;
        return classes_[name] = push(Value(Dictionary{
                   {"$classname", Value(name)}, {"$classes", Value(Array{Value(name), Value("NSObject")})}}));
    }

    std::map<std::string, std::uint64_t> strings_;
    std::map<std::string, std::uint64_t> classes_;
};

// Resolves references into a value tree. An object referred to more than once is built once
// and copied; every node built or copied is charged to a budget proportionate to the archive, so
// an archive whose shared objects would expand without bound is refused once it passes it.
class Reader {
public:
    Reader(const Array& objects, plist::ExpansionBudget budget) : objects_(objects), budget_(budget) {
        for (const auto& o : objects_) countReferences(o);
    }

    Expected<Value> resolve(const Value& ref, int depth) {
        auto n = uidOf(ref);
        if (!n) return makeError("reference expected");
        if (*n >= objects_.size()) return makeError("reference " + std::to_string(*n) + " out of range");
        if (depth > plist::kMaxDepth) return makeError("archive nested too deeply (or cyclic)");
        if (auto it = built_.find(*n); it != built_.end()) {
            if (!charge(it->second.nodes, it->second.bytes)) return overBudget();
            return it->second.value;
        }
        if (!inProgress_.insert(*n).second) return makeError("archive object " + std::to_string(*n) + " contains itself");
        const std::uint64_t nodesBefore = nodes_, bytesBefore = bytes_;
        auto v = build(*n, depth);
        inProgress_.erase(*n);
        if (!v) return v;
        if (!charge(1, payloadOf(*v))) return overBudget();
        if (references_[*n] > 1) built_[*n] = Built{*v, nodes_ - nodesBefore, bytes_ - bytesBefore};
        return v;
    }

private:
    struct Built {
        Value value;
        std::uint64_t nodes;
        std::uint64_t bytes;
    };

    static std::uint64_t payloadOf(const Value& v) {
        if (v.isString()) return v.asString().size();
        if (v.isBytes()) return v.asBytes().size();
        return 0;
    }

    void countReferences(const Value& v) {
        if (auto n = uidOf(v)) {
            ++references_[*n];
        } else if (const auto* a = v.array()) {
            for (const auto& e : *a) countReferences(e);
        } else if (const auto* d = v.dictionary()) {
            for (const auto& [k, e] : *d) countReferences(e);
        }
    }

    bool charge(std::uint64_t nodes, std::uint64_t bytes) {
        nodes_ += nodes;
        bytes_ += bytes;
        return nodes_ <= budget_.nodes && bytes_ <= budget_.bytes;
    }
    static Error overBudget() { return makeError("archive expands beyond its budget"); }

    Expected<Value> build(std::uint64_t n, int depth) {
        const Value& o = objects_[n];
        if (o.isString() && o.asString() == "$null" && n == 0) return Value();
        const auto* d = o.dictionary();
        if (!d || uidOf(o)) return o; // inline value
        const Value* classRefValue = d->find("$class");
        if (!classRefValue) return makeError("object " + std::to_string(n) + " has no class");
        auto cls = uidOf(*classRefValue);
        if (!cls || *cls >= objects_.size() || !objects_[*cls].find("$classname") ||
            !objects_[*cls].find("$classname")->isString())
            return makeError("object " + std::to_string(n) + " has a bad class reference");
        const std::string& className = objects_[*cls].find("$classname")->asString();
        if (className == "NSString" || className == "NSMutableString") {
            const Value* s = d->find("NS.string");
            if (s && s->isString()) return *s;
            return makeError("string object without text");
        }
        const Value* items = d->find("NS.objects");
        if (className == "NSArray" || className == "NSMutableArray") {
            if (!items || !items->isArray()) return makeError("array object without members");
            Array out;
            for (const auto& e : items->asArray()) {
                auto v = resolve(e, depth + 1);
                if (!v) return v.error();
                out.push_back(std::move(*v));
            }
            return Value(std::move(out));
        }
        if (className == "NSDictionary" || className == "NSMutableDictionary") {
            const Value* keys = d->find("NS.keys");
            if (!items || !items->isArray() || !keys || !keys->isArray() || keys->asArray().size() != items->asArray().size())
                return makeError("dictionary object with mismatched keys and members");
            Dictionary out;
            for (std::size_t i = 0; i < keys->asArray().size(); ++i) {
                auto k = resolve(keys->asArray()[i], depth + 1);
                if (!k) return k.error();
                if (!k->isString()) return makeError("dictionary key is not a text");
                auto v = resolve(items->asArray()[i], depth + 1);
                if (!v) return v.error();
                out.set(k->asString(), std::move(*v));
            }
            return Value(std::move(out));
        }
        return makeError("cannot decode object of class (" + className + ")");
    }

    const Array& objects_;
    const plist::ExpansionBudget budget_;
    std::map<std::uint64_t, std::uint64_t> references_;
    std::map<std::uint64_t, Built> built_;
    std::set<std::uint64_t> inProgress_;
    std::uint64_t nodes_ = 0;
    std::uint64_t bytes_ = 0;
};

} // namespace

Expected<Bytes> archive(const Value& root) {
    Writer w;
    auto rootRef = w.add(root, 0);
    if (!rootRef) return rootRef.error();
    Dictionary top{{"$version", Value(100000)},
                   {"$archiver", Value("NSKeyedArchiver")},
                   {"$top", Value(Dictionary{{"root", Value(Dictionary{{kUidKey, Value(static_cast<unsigned long long>(*rootRef))}})}})},
                   {"$objects", Value(std::move(w.objects_))}};
    return plist::write(Value(std::move(top)), plist::Format::Binary);
}

Expected<Value> unarchive(const Bytes& bytes) {
    auto parsed = plist::read(bytes);
    if (!parsed) return makeError("not a property list: " + parsed.error().description);
    const Value& top = parsed->value;
    const Value* archiver = top.find("$archiver");
    const Value* objects = top.find("$objects");
    const Value* tops = top.find("$top");
    if (!archiver || !archiver->isString() || archiver->asString() != "NSKeyedArchiver")
        return makeError("incomprehensible archive: unknown archiver");
    if (!objects || !objects->isArray() || !tops || !tops->isDictionary())
        return makeError("incomprehensible archive: no objects or top");
    const Value* root = tops->find("root");
    if (!root) return makeError("archive has no root object");
    return Reader(objects->asArray(), plist::ExpansionBudget::forInput(bytes.size())).resolve(*root, 0);
}

} // namespace core::archive
