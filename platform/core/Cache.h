#pragma once
// A thread-safe cache with a total cost limit and a count limit (0 means no limit). Each set or
// get makes an entry the most recently used; when a limit is passed, the least recently used
// entries go first until both limits hold again (an entry dearer than the whole cost limit does
// not stay). Values are copied out, so keep them cheap to copy (shared pointers).

#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

namespace core {

template <class Key, class Value, class Hash = std::hash<Key>>
class Cache {
public:
    std::string name() const {
        std::lock_guard lock(mutex_);
        return name_;
    }
    void setName(std::string name) {
        std::lock_guard lock(mutex_);
        name_ = std::move(name);
    }
    std::size_t totalCostLimit() const {
        std::lock_guard lock(mutex_);
        return costLimit_;
    }
    void setTotalCostLimit(std::size_t limit) {
        std::lock_guard lock(mutex_);
        costLimit_ = limit;
        trim();
    }
    std::size_t countLimit() const {
        std::lock_guard lock(mutex_);
        return countLimit_;
    }
    void setCountLimit(std::size_t limit) {
        std::lock_guard lock(mutex_);
        countLimit_ = limit;
        trim();
    }

    void setObject(const Key& key, Value value, std::size_t cost = 0) {
        std::lock_guard lock(mutex_);
        if (auto it = index_.find(key); it != index_.end()) {
            totalCost_ -= it->second->cost;
            entries_.erase(it->second);
            index_.erase(it);
        }
        entries_.push_front(Entry{key, std::move(value), cost});
        index_.emplace(key, entries_.begin());
        totalCost_ += cost;
        trim();
    }

    std::optional<Value> object(const Key& key) {
        std::lock_guard lock(mutex_);
        auto it = index_.find(key);
        if (it == index_.end()) return std::nullopt;
        entries_.splice(entries_.begin(), entries_, it->second);
        return it->second->value;
    }

    void removeObject(const Key& key) {
        std::lock_guard lock(mutex_);
        auto it = index_.find(key);
        if (it == index_.end()) return;
        totalCost_ -= it->second->cost;
        entries_.erase(it->second);
        index_.erase(it);
    }

    void removeAllObjects() {
        std::lock_guard lock(mutex_);
        entries_.clear();
        index_.clear();
        totalCost_ = 0;
    }

    std::size_t count() const {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }
    std::size_t totalCost() const {
        std::lock_guard lock(mutex_);
        return totalCost_;
    }

private:
    struct Entry {
        Key key;
        Value value;
        std::size_t cost;
    };

    void trim() {
        while (!entries_.empty() && ((costLimit_ > 0 && totalCost_ > costLimit_) || (countLimit_ > 0 && entries_.size() > countLimit_))) {
            const Entry& last = entries_.back();
            totalCost_ -= last.cost;
            index_.erase(last.key);
            entries_.pop_back();
        }
    }

    mutable std::mutex mutex_;
    std::string name_;
    std::size_t costLimit_ = 0;
    std::size_t countLimit_ = 0;
    std::size_t totalCost_ = 0;
    std::list<Entry> entries_;
    std::unordered_map<Key, typename std::list<Entry>::iterator, Hash> index_;
};

} // namespace core
