#pragma once
// One item of a SegmentView: a button that knows its position in its owner and whether it is
// selected. Made with an icon size and offset it also has an icon, centred at the offset, and a
// caption below the icon; made from a frame alone it is a bare button whose content the owner's
// set-up block builds.
//
// The owner is held weakly: an item parked in the class-wide pool, or kept by other code, may
// outlive the view that placed it. Main thread only.
#include "platform/gfx/Image.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace kit {

class SegmentView;

class SegmentItemView : public ui::Button {
    QUILLORA_CLASS(SegmentItemView)

    // A bare item.
    explicit SegmentItemView(gfx::Rect frame = {}) : ui::Button(frame) {}
    // An item with an icon of `iconSize` whose centre is `iconOffset` away from the item's centre,
    // and a caption below it.
    SegmentItemView(gfx::Rect frame, gfx::Size iconSize, gfx::Point iconOffset)
        : ui::Button(frame), iconSize_(iconSize), iconOffset_(iconOffset) {}
    void init() override;

    // Null on a bare item.
    const std::shared_ptr<ui::Label>& detailLabel() const { return detailLabel_; }
    const std::shared_ptr<ui::ImageView>& iconImageView() const { return iconImageView_; }

    // The icon view's image and highlighted image; the item's selected state is the icon view's
    // highlighted state, so the highlighted image shows while the item is selected and has one.
    void setIconImage(gfx::ImagePtr image);
    void setHighlightedIconImage(gfx::ImagePtr image);
    gfx::ImagePtr highlightedIconImage() const;

    bool itemSelected() const { return itemSelected_; }
    // Stores the state, shows the icon for it and tells the owner's itemChangeState block, on
    // every call, also when the state does not change.
    void setItemSelected(bool selected);

    bool isUsing() const { return isUsing_; }
    void setIsUsing(bool using_) { isUsing_ = using_; }
    std::int64_t index() const { return index_; }
    void setIndex(std::int64_t index) { index_ = index; }
    std::shared_ptr<SegmentView> seg() const { return seg_.lock(); }
    void setSeg(const std::shared_ptr<SegmentView>& seg) { seg_ = seg; }

private:
    std::optional<gfx::Size> iconSize_;
    gfx::Point iconOffset_;
    std::shared_ptr<ui::Label> detailLabel_;
    std::shared_ptr<ui::ImageView> iconImageView_;
    bool itemSelected_ = false;
    bool isUsing_ = false;
    std::int64_t index_ = -1;
    std::weak_ptr<SegmentView> seg_;
};

} // namespace kit
