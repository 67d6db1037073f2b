#include "platform/core/UserDefaults.h"

#include "platform/core/Files.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/core/PropertyList.h"

#include <cerrno>

namespace core {

namespace {

std::mutex& standardMutex() {
    static std::mutex m;
    return m;
}

std::unique_ptr<UserDefaults>& standardSlot() {
    static auto* slot = new std::unique_ptr<UserDefaults>;
    return *slot;
}

} // namespace

UserDefaults& UserDefaults::standard() {
    std::lock_guard lock(standardMutex());
    auto& slot = standardSlot();
    if (!slot) slot = std::make_unique<UserDefaults>(paths::configHome() + "/preferences.plist");
    return *slot;
}

void UserDefaults::resetStandardForTesting() {
    std::lock_guard lock(standardMutex());
    standardSlot().reset();
}

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)) {}

void UserDefaults::loadLocked() {
    if (loaded_) return;
    loaded_ = true;
    if (!files::exists(path_)) return;
    auto bytes = files::read(path_);
    std::string problem;
    if (!bytes) {
        if (bytes.error().code == EACCES || bytes.error().code == EPERM) {
            // Nothing is wrong with the file itself: keep it for the user to set right, and never
            // write over it in this run.
            inMemoryOnly_ = true;
            log("Settings file " + path_ + " cannot be read (" + bytes.error().description +
                "); it is left in place and settings are kept in memory only for this run");
            return;
        }
        problem = bytes.error().description;
    } else {
        auto parsed = plist::read(*bytes);
        if (!parsed) {
            problem = parsed.error().description;
        } else if (!parsed->value.isDictionary()) {
            problem = "the top level is not a dictionary";
        } else {
            values_ = parsed->value.asDictionary();
            return;
        }
    }
    auto moved = files::moveAside(path_);
    log("Settings file " + path_ + " could not be read (" + problem + "); " +
        (moved ? "kept as " + *moved : "it could not be moved aside: " + moved.error().description) +
        "; starting with empty settings");
}

bool UserDefaults::saveLocked() {
    if (inMemoryOnly_) return false;
    auto bytes = plist::write(Value(values_), plist::Format::Xml);
    if (!bytes) {
        log("Settings could not be encoded: " + bytes.error().description);
        return false;
    }
    auto written = files::writeAtomically(path_, *bytes, 0600);
    dirty_ = !written;
    if (!written) {
        log("Settings could not be saved: " + written.error().description);
        return false;
    }
    return true;
}

std::optional<Value> UserDefaults::objectForKey(std::string_view key) {
    std::lock_guard lock(mutex_);
    loadLocked();
    if (const Value* v = values_.find(key)) return *v;
    return std::nullopt;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) {
    auto v = objectForKey(key);
    if (v && v->isString()) return v->asString();
    return std::nullopt;
}

bool UserDefaults::setObject(const Value& value, std::string_view key) {
    if (!plist::isValid(value)) {
        log("Attempt to set a non-property-list object " + std::string(key) + " in the settings");
        return false;
    }
    std::lock_guard lock(mutex_);
    loadLocked();
    values_.set(std::string(key), value);
    return saveLocked();
}

void UserDefaults::removeObjectForKey(std::string_view key) {
    std::lock_guard lock(mutex_);
    loadLocked();
    if (values_.erase(key)) saveLocked();
}

bool UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    loadLocked();
    // Changes are written through; only a write that failed earlier is left to retry.
    return !dirty_ || saveLocked();
}

Dictionary UserDefaults::dictionaryRepresentation() {
    std::lock_guard lock(mutex_);
    loadLocked();
    return values_;
}

} // namespace core
