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
    std::erase_if(entries_, [id](const Entry& e) { return e.id == id; });
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<std::pair<std::uint64_t, std::shared_ptr<Callback>>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_) {
            if (!e.name.empty() && e.name != notification.name) continue;
            if (e.filtersSender) {
                auto sender = e.sender.lock();
                if (!sender || sender != notification.object) continue;
            }
            matching.emplace_back(e.id, e.callback);
        }
    }
    for (const auto& [id, callback] : matching) {
        // An earlier observer of this post may have removed a later one; honour that.
        bool stillRegistered;
        {
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
