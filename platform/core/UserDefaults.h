#pragma once
// The user's settings: a dictionary of property-list values kept in one property-list file
// (<configHome>/preferences.plist).
//
// A change is visible at once in this process and is written to the file by the store's own
// writer thread, never by the caller's, so a slow disk never stalls the caller: changes that arrive
// while a write is pending share that write, and setting a value equal to the stored one writes
// nothing. Each write replaces the file atomically (temporary file + rename, file and folder
// flushed), so the file is never half written. synchronize(), the destructor and a normal exit of
// the process (for the standard defaults) wait for the pending write. A write that failed is
// logged and tried again by synchronize(), by the next change or set, and once more at the end.
// A file that cannot be parsed (or read for a reason other than permissions) is logged, moved
// aside to "preferences.plist.corrupt.1" (the last three such files are kept, ".1" the newest, so
// nothing the user had is destroyed) and counts as empty. A file that may not be read is left in
// place and never written over: the settings live in memory for the run, said once. Values that a
// property list cannot hold (null, objects) are refused and logged. Safe to use from any thread;
// a forked child must exec or _exit before it uses the store (the writer thread stays with the
// parent).

#include "platform/core/Value.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace core {

class UserDefaults {
public:
    // The standard defaults of this process, at the path for the current HOME.
    static UserDefaults& standard();
    // Forgets the loaded standard defaults so the next call re-reads the file for the current
    // environment (tests change HOME between cases).
    static void resetStandardForTesting();

    explicit UserDefaults(std::string path);
    // Waits for the pending write (trying a failed one once more), then stops the writer.
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    std::optional<Value> objectForKey(std::string_view key);
    std::optional<std::string> stringForKey(std::string_view key);

    // Stores the value and schedules its write; returns false (and logs) when a property list
    // cannot hold it or the file may not be written in this run (the value is then still visible
    // in this process). A failed background write is logged and tried again as said above.
    bool setObject(const Value& value, std::string_view key);
    void removeObjectForKey(std::string_view key);
    // Waits until the current state is on disk (retrying a write that failed); true when it is.
    bool synchronize();

    // How many settings writes ran on the main thread in this process (each is also logged). The
    // writer thread does every write, so anything but 0 is a fault that tests check for.
    static int mainThreadWritesForTesting();

    Dictionary dictionaryRepresentation();
    const std::string& path() const { return path_; }

private:
    void loadLocked();
    void scheduleWriteLocked();
    void waitForWriterLocked(std::unique_lock<std::mutex>& lock);
    void writerLoop();
    std::optional<std::string> writeFile(const Dictionary& values); // the problem, if any

    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread writer_; // started by the first write
    bool writeRequested_ = false;
    bool writing_ = false;
    bool stopping_ = false;
    std::string path_;
    bool loaded_ = false;
    bool dirty_ = false; // the last write failed; the file is behind the values
    bool inMemoryOnly_ = false; // the file may not be read, so it is not written either
    Dictionary values_;
};

} // namespace core
