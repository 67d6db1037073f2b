#pragma once
// The memory layer of the image cache: a cost-limited cache mirrored by a table of weak
// references, so that an image the cache let go can be found again while something else (a view)
// still holds it. A memory warning empties the cost-limited part only.

#include "platform/core/Cache.h"
#include "platform/core/NotificationCenter.h"
#include "platform/gfx/Image.h"

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace image_cache {

class RIMemoryCache : public core::Cache<std::string, gfx::ImagePtr> {
public:
    RIMemoryCache();

    void setObject(const std::string& key, gfx::ImagePtr image, std::size_t cost = 0);
    gfx::ImagePtr objectForKey(const std::string& key);
    void removeObjectForKey(const std::string& key);
    void removeAllObjects();
    // The memory-warning handler: drops the cost-limited part.
    void didReceiveMemoryWarning();

    // The memory cost of an image: points times scale squared.
    static std::size_t costForImage(const gfx::ImagePtr& image);

private:
    using Base = core::Cache<std::string, gfx::ImagePtr>;
    std::mutex weakCacheLock_;
    std::unordered_map<std::string, std::weak_ptr<const gfx::Image>> weakCache_;
    std::size_t pruneAt_ = 64;  // dead weak entries are swept when the table reaches this size
    core::NotificationCenter::Token memoryWarning_;
};

} // namespace image_cache
