#pragma once
// The image sequences an animated control plays per state, with the seconds of one pass, shared
// by the animated header and the animated footer.

#include "platform/ui/ImageView.h"
#include "refresh/RefreshComponentState.h"
#include "refresh/RefreshConst.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <optional>
#include <vector>

namespace refresh {

class RefreshStateImages {
public:
    // Stores the images (a missing list is ignored) and returns the first image's height, which
    // the control grows to when it is lower.
    std::optional<double> set(const std::optional<std::vector<gfx::ImagePtr>>& images, double duration,
                              RefreshComponentState state) {
        if (!images) return std::nullopt;
        images_[state] = *images;
        durations_[state] = duration;
        if (images->empty() || !images->front()) return std::nullopt;
        return images->front()->size().height;
    }
    // One pass lasts 0.1 s per image.
    static double defaultDuration(const std::optional<std::vector<gfx::ImagePtr>>& images) {
        return images ? images->size() * kRefreshDefaultImageDuration : 0;
    }
    const std::vector<gfx::ImagePtr>& imagesFor(RefreshComponentState state) const {
        static const std::vector<gfx::ImagePtr> none;
        auto it = images_.find(state);
        return it == images_.end() ? none : it->second;
    }
    // Shows the state's images in the view: the one image, or all of them in a loop. False when
    // the state has none.
    bool play(ui::ImageView& view, RefreshComponentState state) const {
        const auto& images = imagesFor(state);
        if (images.empty()) return false;
        view.stopAnimating();
        if (images.size() == 1) {
            view.setImage(images.back());
        } else {
            view.setAnimationImages(images);
            view.setAnimationDuration(durations_.at(state));
            view.startAnimating();
        }
        return true;
    }

    // Shows the Idle image that stands for how far the control has been pulled (0 the first, 1
    // and beyond the last); false when there are no Idle images.
    bool showPullingPercent(ui::ImageView& view, double pullingPercent) const {
        const auto& images = imagesFor(RefreshComponentState::Idle);
        if (images.empty()) return false;
        view.stopAnimating();
        auto count = static_cast<double>(images.size());
        auto index = static_cast<std::size_t>(std::clamp(std::floor(count * pullingPercent), 0.0, count - 1));
        view.setImage(images[index]);
        return true;
    }

private:
    std::map<RefreshComponentState, std::vector<gfx::ImagePtr>> images_;
    std::map<RefreshComponentState, double> durations_;
};

} // namespace refresh
