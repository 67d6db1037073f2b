#pragma once
// A header that shows a sequence of images per state instead of the arrow and spinner: while
// idle the image follows how far the header is pulled out, while pulling or refreshing the
// state's images play in a loop. Main thread only.

#include "platform/ui/ImageView.h"
#include "refresh/RefreshStateHeader.h"

#include "refresh/RefreshStateImages.h"

#include <vector>

namespace refresh {

class RefreshGifHeader : public RefreshStateHeader {
    QUILLORA_CLASS(RefreshGifHeader)

    using RefreshStateHeader::RefreshStateHeader;
    static std::shared_ptr<RefreshGifHeader> headerWithRefreshingBlock(Block block) {
        return make<RefreshGifHeader>(std::move(block));
    }

    std::shared_ptr<ui::ImageView> gifView();
    // `duration` is one pass through the images. A header lower than the first image grows to it.
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
