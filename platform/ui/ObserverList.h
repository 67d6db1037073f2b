#pragma once
// The observers of one property of an object, called synchronously in the order they were added
// with the old and the new value. Observers may add or remove observers (themselves included)
// while being called: a removed observer that has not run yet is skipped, one added during a
// call first runs on the next change. Main thread only.

#include "platform/ui/Observation.h"
#include "platform/ui/ObservedChange.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace ui {

template <class T>
class ObserverList {
public:
    using Callback = std::function<void(const ObservedChange<T>&)>;

    ObserverList() : entries_(std::make_shared<std::vector<Entry>>()) {}

    [[nodiscard]] ObservationToken add(Callback callback) {
        std::uint64_t id = nextId_++;
        entries_->push_back({id, std::make_shared<Callback>(std::move(callback))});
        std::weak_ptr<std::vector<Entry>> weak = entries_;
        return std::make_unique<Observation>([weak, id] {
            if (auto entries = weak.lock()) std::erase_if(*entries, [id](const Entry& e) { return e.id == id; });
        });
    }

    void notify(const T& oldValue, const T& newValue) const {
        if (entries_->empty()) return;
        auto keep = entries_;
        std::vector<Entry> snapshot = *entries_;
        ObservedChange<T> change{oldValue, newValue};
        for (const auto& e : snapshot) {
            bool present = false;
            for (const auto& live : *keep) present = present || live.id == e.id;
            if (present) (*e.callback)(change);
        }
    }

    bool empty() const { return entries_->empty(); }
    std::size_t size() const { return entries_->size(); }

private:
    struct Entry {
        std::uint64_t id;
        std::shared_ptr<Callback> callback;
    };
    std::shared_ptr<std::vector<Entry>> entries_;
    std::uint64_t nextId_ = 1;
};

} // namespace ui
