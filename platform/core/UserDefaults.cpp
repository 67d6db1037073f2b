#include "platform/core/UserDefaults.h"

#include "platform/core/Files.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/core/PropertyList.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <unistd.h>

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

std::atomic<int> mainThreadWrites{0};

// The process that made the standard defaults (and so owns its writer thread).
pid_t standardOwner = 0;

// A normal exit waits for the standard defaults' pending write, so nothing set before it is lost.
// The defaults object itself is never destroyed, so the writer may stay parked until the process
// ends. A forked child that exits normally has no writer thread: it leaves the file to its parent.
void synchronizeStandardAtExit() {
    std::lock_guard lock(standardMutex());
    if (auto& slot = standardSlot(); slot && standardOwner == ::getpid()) slot->synchronize();
}

} // namespace

UserDefaults& UserDefaults::standard() {
    std::lock_guard lock(standardMutex());
    auto& slot = standardSlot();
    if (!slot) {
        static const bool registered = std::atexit(synchronizeStandardAtExit) == 0;
        (void)registered;
        standardOwner = ::getpid();
        slot = std::make_unique<UserDefaults>(paths::configHome() + "/preferences.plist");
    }
    return *slot;
}

void UserDefaults::resetStandardForTesting() {
    std::lock_guard lock(standardMutex());
    standardSlot().reset();
}

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)) {}

UserDefaults::~UserDefaults() {
    {
        std::unique_lock lock(mutex_);
        waitForWriterLocked(lock);
        if (dirty_) { // the last write failed: one more try before the values are gone
            scheduleWriteLocked();
            waitForWriterLocked(lock);
        }
        stopping_ = true;
    }
    changed_.notify_all();
    if (writer_.joinable()) writer_.join();
}

int UserDefaults::mainThreadWritesForTesting() { return mainThreadWrites.load(); }

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

void UserDefaults::scheduleWriteLocked() {
    if (inMemoryOnly_) return;
    writeRequested_ = true; // a write already pending takes this change along
    if (!writer_.joinable()) writer_ = std::thread([this] { writerLoop(); });
    changed_.notify_all();
}

void UserDefaults::waitForWriterLocked(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !writeRequested_ && !writing_; });
}

void UserDefaults::writerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return writeRequested_ || stopping_; });
        if (!writeRequested_) return;
        writeRequested_ = false;
        writing_ = true;
        Dictionary snapshot = values_;
        lock.unlock();
        std::optional<std::string> problem = writeFile(snapshot);
        lock.lock();
        dirty_ = problem.has_value();
        if (problem) { // said once the store knows, so a set that follows the line retries it
            lock.unlock();
            log(*problem);
            lock.lock();
        }
        writing_ = false;
        changed_.notify_all();
    }
}

std::optional<std::string> UserDefaults::writeFile(const Dictionary& values) {
    if (::getpid() == ::gettid()) {
        ++mainThreadWrites;
        log("Settings written on the main thread");
    }
    auto bytes = plist::write(Value(values), plist::Format::Xml);
    if (!bytes) return "Settings could not be encoded: " + bytes.error().description;
    auto written = files::writeAtomically(path_, *bytes, 0600);
    if (!written) return "Settings could not be saved: " + written.error().description;
    return std::nullopt;
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
    if (const Value* stored = values_.find(key); stored && *stored == value) {
        // Nothing to write, unless an earlier write failed and the file is behind the values.
        if (dirty_) scheduleWriteLocked();
        return !inMemoryOnly_;
    }
    values_.set(std::string(key), value);
    scheduleWriteLocked();
    return !inMemoryOnly_;
}

void UserDefaults::removeObjectForKey(std::string_view key) {
    std::lock_guard lock(mutex_);
    loadLocked();
    if (values_.erase(key)) scheduleWriteLocked();
}

bool UserDefaults::synchronize() {
    std::unique_lock lock(mutex_);
    loadLocked();
    if (inMemoryOnly_) return true; // nothing is written in this run, so nothing is pending
    waitForWriterLocked(lock);
    if (dirty_) { // the last write failed: try again, on the writer as always
        scheduleWriteLocked();
        waitForWriterLocked(lock);
    }
    return !dirty_;
}

Dictionary UserDefaults::dictionaryRepresentation() {
    std::lock_guard lock(mutex_);
    loadLocked();
    return values_;
}

} // namespace core
