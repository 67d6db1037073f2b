#pragma once
// Values that other modules attach to an object of the toolkit (a view, a controller), each under
// the address of a private static of theirs. They live as long as the owner; null removes one.
// Main thread only.

#include <map>
#include <memory>

namespace ui {

class AssociatedObjects {
public:
    std::shared_ptr<void> associatedObject(const void* key) const {
        auto it = associated_.find(key);
        return it == associated_.end() ? nullptr : it->second;
    }
    void setAssociatedObject(const void* key, std::shared_ptr<void> value) {
        if (value) associated_[key] = std::move(value);
        else associated_.erase(key);
    }

private:
    std::map<const void*, std::shared_ptr<void>> associated_;
};

} // namespace ui
