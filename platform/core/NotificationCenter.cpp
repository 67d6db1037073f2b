#include "platform/core/NotificationCenter.h"

#include <algorithm>

namespace core {

NotificationCenter::Observation::~Observation() {
    if (auto center = center_.lock()) center->remove(id_);
}

std::shared_ptr<NotificationCenter> NotificationCenter::create() {
    auto center = std::make_shared<NotificationCenter>();
    center->self_ = center;
    return center;
}

NotificationCenter& NotificationCenter::defaultCenter() {
    static std::shared_ptr<NotificationCenter>* center = new std::shared_ptr<NotificationCenter>(create());
    return **center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, std::shared_ptr<Object> sender, Callback callback) {
    std::lock_guard lock(mutex_);
    std::uint64_t id = nextId_++;
    entries_.push_back(Entry{id, std::move(name), sender != nullptr, sender,
                             std::make_shared<Callback>(std::move(callback))});
    return Token(new Observation(self_, id));
}

void NotificationCenter::remove(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    if (std::erase_if(entries_, [id](const Entry& e) { return e.id == id; }) > 0) removals_.fetch_add(1, std::memory_order_release);
}

void NotificationCenter::post(const Notification& notification) {
    // Most posts reach few observers: those fit here without an allocation.
    constexpr std::size_t kInline = 4;
    std::pair<std::uint64_t, std::shared_ptr<Callback>> inlineMatches[kInline];
    std::vector<std::pair<std::uint64_t, std::shared_ptr<Callback>>> moreMatches;
    std::size_t count = 0;
    std::uint64_t removalsSeen;
    {
        std::lock_guard lock(mutex_);
        removalsSeen = removals_.load(std::memory_order_relaxed);
        for (const auto& e : entries_) {
            if (!e.name.empty() && e.name != notification.name) continue;
            if (e.filtersSender) {
                auto sender = e.sender.lock();
                if (!sender || sender != notification.object) continue;
            }
            if (count < kInline) inlineMatches[count] = {e.id, e.callback};
            else moreMatches.emplace_back(e.id, e.callback);
            ++count;
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        const auto& [id, callback] = i < kInline ? inlineMatches[i] : moreMatches[i - kInline];
        // An earlier observer of this post may have removed a later one; honour that (nothing to
        // look up while no observer at all has gone since the matches were taken).
        bool stillRegistered = true;
        if (removals_.load(std::memory_order_acquire) != removalsSeen) {
            std::lock_guard lock(mutex_);
            stillRegistered = std::any_of(entries_.begin(), entries_.end(), [id = id](const Entry& e) { return e.id == id; });
        }
        if (stillRegistered) (*callback)(notification);
    }
}

void NotificationCenter::post(std::string name, std::shared_ptr<Object> object, Dictionary userInfo) {
    post(Notification{std::move(name), std::move(object), std::move(userInfo)});
}

} // namespace core
