#pragma once
// An automatic footer that plays a sequence of images beside its title while loading.

#include "platform/ui/ImageView.h"
#include "refresh/RefreshAutoStateFooter.h"

#include "refresh/RefreshStateImages.h"

#include <vector>

namespace refresh {

class RefreshAutoGifFooter : public RefreshAutoStateFooter {
    QUILLORA_CLASS(RefreshAutoGifFooter)

    using RefreshAutoStateFooter::RefreshAutoStateFooter;
    static std::shared_ptr<RefreshAutoGifFooter> footerWithRefreshingBlock(Block block) {
        return make<RefreshAutoGifFooter>(std::move(block));
    }

    std::shared_ptr<ui::ImageView> gifView();
    // `duration` is one pass through the images. A footer lower than the first image grows to it.
    void setImages(const std::optional<std::vector<gfx::ImagePtr>>& images, double duration, RefreshComponentState state);
    // One pass lasts 0.1 s per image.
    void setImages(const std::optional<std::vector<gfx::ImagePtr>>& images, RefreshComponentState state);

    void setState(RefreshComponentState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    std::weak_ptr<ui::ImageView> gifView_;
    RefreshStateImages stateImages_;
};

} // namespace refresh
