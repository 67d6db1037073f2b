#pragma once
// How a view shows a freshly loaded picture: a view transition of `duration` seconds with
// `animationOptions`, with hooks before (`prepares`), during (`animations`) and after
// (`completion`). With `avoidAutoSetImage` the picture is left for `animations` to show.

#include "image_cache/RIImageCache.h"

#include "platform/ca/MediaTimingFunction.h"
#include "platform/net/URL.h"
#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <optional>

namespace image_cache {

struct RIImageTransition {
    bool avoidAutoSetImage = false;
    double duration = 0.5;
    std::optional<ca::MediaTimingFunction> timingFunction;  // kept, not applied
    std::uint64_t animationOptions = 0;
    std::function<void(ui::View&, ImagePtr, Data, RIImageCacheKind, std::optional<net::URL>)> prepares;
    std::function<void(ui::View&, ImagePtr)> animations;
    std::function<void(bool finished)> completion;

    static std::shared_ptr<RIImageTransition> withOptions(std::uint64_t options) {
        auto t = std::make_shared<RIImageTransition>();
        t->animationOptions = options;
        return t;
    }
    static std::shared_ptr<RIImageTransition> fadeTransition() { return withOptions(0x500000); }
    static std::shared_ptr<RIImageTransition> flipFromLeftTransition() { return withOptions(0x100000); }
    static std::shared_ptr<RIImageTransition> flipFromRightTransition() { return withOptions(0x200000); }
    static std::shared_ptr<RIImageTransition> flipFromTopTransition() { return withOptions(0x600000); }
    static std::shared_ptr<RIImageTransition> flipFromBottomTransition() { return withOptions(0x700000); }
    static std::shared_ptr<RIImageTransition> curlUpTransition() { return withOptions(0x300000); }
    static std::shared_ptr<RIImageTransition> curlDownTransition() { return withOptions(0x400000); }
};

} // namespace image_cache
