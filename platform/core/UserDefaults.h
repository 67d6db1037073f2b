#pragma once
// The user's settings: a dictionary of property-list values kept in one property-list file
// (<configHome>/preferences.plist).
//
// Every change is written through at once, atomically (temporary file + rename), so a setting is
// never lost to a crash or to a caller that never synchronises, and the file is never half
// written. A file that cannot be parsed (or read for a reason other than permissions) is logged,
// moved aside to "preferences.plist.corrupt.1" (the last three such files are kept, ".1" the
// newest, so nothing the user had is destroyed) and counts as empty. A file that may not be read
// is left in place and never written over: the settings live in memory for the run, said once. Values that a property list cannot
// hold (null, objects) are refused and logged. Safe to use from any thread.

#include "platform/core/Value.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace core {

class UserDefaults {
public:
    // The standard defaults of this process, at the path for the current HOME.
    static UserDefaults& standard();
    // Forgets the loaded standard defaults so the next call re-reads the file for the current
    // environment (tests change HOME between cases).
    static void resetStandardForTesting();

    explicit UserDefaults(std::string path);

    std::optional<Value> objectForKey(std::string_view key);
    std::optional<std::string> stringForKey(std::string_view key);

    // Stores the value; returns false (and logs) when a property list cannot hold it or the file
    // could not be written (the value is then still visible in this process).
    bool setObject(const Value& value, std::string_view key);
    void removeObjectForKey(std::string_view key);
    // Makes sure the current state is on disk (retrying a write that failed); true when it is.
    bool synchronize();

    Dictionary dictionaryRepresentation();
    const std::string& path() const { return path_; }

private:
    void loadLocked();
    bool saveLocked();

    std::mutex mutex_;
    std::string path_;
    bool loaded_ = false;
    bool dirty_ = false; // the last write failed; the file is behind the values
    bool inMemoryOnly_ = false; // the file may not be read, so it is not written either
    Dictionary values_;
};

} // namespace core
