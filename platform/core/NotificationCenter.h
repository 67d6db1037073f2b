#pragma once
// Process-wide notifications by name.
//
// post() calls the matching observers synchronously on the posting thread, in the order they were
// added, outside any lock (an observer may add or remove observers, or post). An observer stays
// registered while its Observation token lives; dropping the token removes it, so an observer
// that captures `this` keeps the token as a member and can never be called after its death.
// An observer may filter by sender: it then sees only posts whose object is that sender
// (compared by identity; the filter holds the sender weakly).

#include "platform/core/Object.h"
#include "platform/core/Value.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace core {

struct Notification {
    std::string name;
    std::shared_ptr<Object> object;
    Dictionary userInfo;
};

class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;

    class Observation {
    public:
        ~Observation();
        Observation(const Observation&) = delete;
        Observation& operator=(const Observation&) = delete;

    private:
        friend class NotificationCenter;
        Observation(std::weak_ptr<NotificationCenter> center, std::uint64_t id) : center_(std::move(center)), id_(id) {}
        std::weak_ptr<NotificationCenter> center_;
        std::uint64_t id_;
    };
    using Token = std::unique_ptr<Observation>;

    static NotificationCenter& defaultCenter();
    static std::shared_ptr<NotificationCenter> create();

    // An empty name observes every notification; a null sender observes every sender.
    [[nodiscard]] Token addObserver(std::string name, std::shared_ptr<Object> sender, Callback callback);
    [[nodiscard]] Token addObserver(std::string name, Callback callback) { return addObserver(std::move(name), nullptr, std::move(callback)); }

    void post(const Notification& notification);
    void post(std::string name, std::shared_ptr<Object> object = nullptr, Dictionary userInfo = {});

    NotificationCenter() = default;

private:
    struct Entry {
        std::uint64_t id;
        std::string name;
        bool filtersSender;
        std::weak_ptr<Object> sender;
        std::shared_ptr<Callback> callback;
    };
    void remove(std::uint64_t id);

    std::weak_ptr<NotificationCenter> self_;
    std::mutex mutex_;
    std::uint64_t nextId_ = 1;
    std::atomic<std::uint64_t> removals_{0};  // observers removed so far: a post that saw none go asks no more
    std::vector<Entry> entries_;
};

} // namespace core
