#include "image_cache/RIMemoryCache.h"

#include "platform/ui/Application.h"

#include <algorithm>

namespace image_cache {

RIMemoryCache::RIMemoryCache() {
    memoryWarning_ = core::NotificationCenter::defaultCenter().addObserver(
        ui::Application::kDidReceiveMemoryWarningNotification, [this](const core::Notification&) { didReceiveMemoryWarning(); });
}

std::size_t RIMemoryCache::costForImage(const gfx::ImagePtr& image) {
    if (!image) return 0;
    gfx::Size size = image->size();
    return static_cast<std::size_t>(size.height * size.width * image->scale() * image->scale());
}

void RIMemoryCache::setObject(const std::string& key, gfx::ImagePtr image, std::size_t cost) {
    Base::setObject(key, image, cost);
    if (!image) return;
    std::lock_guard lock(weakCacheLock_);
    weakCache_[key] = image;
    if (weakCache_.size() >= pruneAt_) {
        std::erase_if(weakCache_, [](const auto& entry) { return entry.second.expired(); });
        pruneAt_ = std::max<std::size_t>(64, weakCache_.size() * 2);
    }
}

gfx::ImagePtr RIMemoryCache::objectForKey(const std::string& key) {
    if (auto hit = Base::object(key)) return *hit;
    gfx::ImagePtr found;
    {
        std::lock_guard lock(weakCacheLock_);
        auto it = weakCache_.find(key);
        if (it == weakCache_.end()) return nullptr;
        found = it->second.lock();
        if (!found) weakCache_.erase(it);
    }
    if (found) Base::setObject(key, found, costForImage(found));
    return found;
}

void RIMemoryCache::removeObjectForKey(const std::string& key) {
    Base::removeObject(key);
    std::lock_guard lock(weakCacheLock_);
    weakCache_.erase(key);
}

void RIMemoryCache::removeAllObjects() {
    Base::removeAllObjects();
    std::lock_guard lock(weakCacheLock_);
    weakCache_.clear();
}

void RIMemoryCache::didReceiveMemoryWarning() { Base::removeAllObjects(); }

} // namespace image_cache
