#pragma once
// A pull-up footer that shows images beside its title: at rest the image for how far the content
// has been pulled, and the sequences set for Pulling and Refreshing. Main thread only.

#include "platform/ui/ImageView.h"
#include "refresh/RefreshBackStateFooter.h"
#include "refresh/RefreshStateImages.h"

#include <vector>

namespace refresh {

class RefreshBackGifFooter : public RefreshBackStateFooter {
    QUILLORA_CLASS(RefreshBackGifFooter)

    using RefreshBackStateFooter::RefreshBackStateFooter;
    static std::shared_ptr<RefreshBackGifFooter> footerWithRefreshingBlock(Block block) {
        return make<RefreshBackGifFooter>(std::move(block));
    }

    std::shared_ptr<ui::ImageView> gifView();
    // `duration` is one pass through the images. A footer lower than the first image grows to it.
    void setImages(const std::optional<std::vector<gfx::ImagePtr>>& images, double duration, RefreshComponentState state);
    // One pass lasts 0.1 s per image.
    void setImages(const std::optional<std::vector<gfx::ImagePtr>>& images, RefreshComponentState state);

    void setPullingPercent(double pullingPercent) override;
    void setState(RefreshComponentState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    std::weak_ptr<ui::ImageView> gifView_;
    RefreshStateImages stateImages_;
};

} // namespace refresh
