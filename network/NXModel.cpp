#include "network/NXModel.h"

#include "platform/core/ProcessInfo.h"
#include "platform/core/Files.h"
#include "platform/core/Json.h"
#include "platform/core/Log.h"
#include "platform/core/TextConversions.h"

#include <exception>
#include <stdexcept>

namespace network {

using core::Value;

namespace detail {

std::optional<std::string> readText(const Value& v) {
    if (!v.isString()) return std::nullopt;
    return v.asString();
}

// A scalar becomes the integer its text starts with, as key-value coding converts it.
std::optional<std::int64_t> readInteger(const Value& v) {
    if (!v.isString() && !v.isNumber() && !v.isBool()) return std::nullopt;
    return core::longLongValue(v);
}

std::optional<core::Dictionary> readDictionary(const Value& v) {
    if (!v.isDictionary()) return std::nullopt;
    return v.asDictionary();
}

std::optional<core::Array> readArray(const Value& v) {
    if (!v.isArray()) return std::nullopt;
    return v.asArray();
}

std::optional<std::vector<std::string>> readTexts(const Value& v) {
    if (!v.isArray()) return std::nullopt;
    std::vector<std::string> out;
    for (const auto& e : v.asArray()) {
        if (!e.isString()) return std::nullopt;
        out.push_back(e.asString());
    }
    return out;
}

} // namespace detail

const PropertyTable::Property* PropertyTable::find(std::string_view name) const {
    for (const auto& p : properties_) {
        if (p.name == name) return &p;
    }
    return nullptr;
}

core::Dictionary& NXModel::sharedNXModelClassDefault() {
    static auto* map = new core::Dictionary; // lives for the whole process
    return *map;
}

const PropertyTable& NXModel::properties() const {
    static const PropertyTable none;
    return none;
}

std::optional<Value> NXModel::valueForKey(std::string_view name) const {
    const auto* p = properties().find(name);
    if (!p) return std::nullopt;
    return p->get(*this);
}

namespace {

const char* orNull(const std::optional<std::string>& s) { return s ? s->c_str() : "(null)"; }

std::optional<std::string> lookup(const std::string& first, const std::string& second) {
    const auto& map = NXModel::sharedNXModelClassDefault();
    for (const auto* key : {&first, &second}) {
        if (const Value* v = map.find(*key); v && v->isString()) return v->asString();
    }
    return std::nullopt;
}

// A scalar's text form, as it reaches a property. A JSON null is the empty text rather than its
// description "<null>", which would otherwise show on screen (as a title, or a failure message).
std::string textForm(const Value& value) { return value.isNull() ? std::string() : core::description(value); }

// A new model of the named class, or nullptr when no such model class exists.
std::shared_ptr<NXModel> createModel(const std::optional<std::string>& className) {
    if (!className) return nullptr;
    return std::dynamic_pointer_cast<NXModel>(core::ClassRegistry::create(*className));
}

} // namespace

void NXModel::reloadModel(const std::optional<Value>& json) {
    if (!json) return;
    if (const auto* d = json->dictionary()) reloadModel(*d);
}

void NXModel::reloadModel(const core::Dictionary& json) {
    for (const auto& [key, value] : json) {
        try {
            fillKey(key, value);
        } catch (const std::exception& e) {
            core::log(e.what());
        }
    }
}

void NXModel::setChecked(const std::string& property, const Value& value) {
    const auto* p = properties().find(property);
    if (!p) {
        throw std::runtime_error("[<" + std::string(className()) + "> setValue:forUndefinedKey:]: this class is not key "
                                 "value coding-compliant for the key " + property + ".");
    }
    if (!p->set(*this, value)) {
        core::log("模型「" + std::string(className()) + "」缺少字段：" + property);
    }
}

void NXModel::fillKey(const std::string& key, const Value& value) {
    const std::string fullKey = std::string(className()) + "." + key;
    const std::string property = key == "id" ? "Id" : key;

    if (const auto* elements = value.array()) {
        auto cls = lookup(fullKey, key);
        core::Array list;
        if (!cls) {
            list = *elements;
        } else {
            for (const auto& element : *elements) {
                if (*cls == "NSString") {
                    list.push_back(Value(textForm(element)));
                } else if (auto model = createModel(cls)) {
                    model->reloadModel(std::optional<Value>(element));
                    list.push_back(Value(model));
                }
                // An element whose class does not exist is dropped without a message.
            }
        }
        if (hasProperty(key)) {
            setChecked(key, Value(std::move(list)));
        } else {
            core::log("类【" + std::string(orNull(cls)) + "】不存在[" + core::logValue(key) + "]");
        }
        return;
    }

    if (const auto* members = value.dictionary()) {
        auto cls = lookup(key, fullKey);
        if (!cls) core::log("缺少类:" + core::logValue(key));
        auto model = createModel(cls);
        if (model) {
            model->reloadModel(*members);
            setChecked(property, Value(model));
        } else if (hasProperty(property)) {
            setChecked(property, value);
        } else {
            core::log("不存在" + core::logValue(key));
        }
        return;
    }

    if (hasProperty(property)) {
        setChecked(property, Value(textForm(value)));
    } else {
        core::log("模型「" + std::string(className()) + "」缺少字段：" + core::logValue(key));
    }
}

std::optional<Value> NXModel::dictionaryWithJsonString(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    auto parsed = core::json::read(*text, core::json::MutableContainers);
    if (!parsed) {
        core::log("json解析失败：" + parsed.error().description);
        return std::nullopt;
    }
    return std::move(*parsed);
}

void NXModel::reloadModelWithPath(const std::string& fileName) {
    auto bytes = core::files::read(core::Bundle::resourcePath() + "/" + fileName);
    if (!bytes) return;
    reloadModel(dictionaryWithJsonString(std::string(bytes->begin(), bytes->end())));
}

} // namespace network
