#pragma once
// A view of tappable items: a row or grid of equal cells, a single strip of items of their own
// widths, or a wrapping flow of items of their own sizes (the tag grid). It owns its item views,
// keeps one selected index (-1 for none) and reports taps through a delegate and three blocks.
//
// Item views can be recycled across all SegmentViews through a class-wide pool keyed by an
// identifier: a rebuild parks the old items there and takes them back, preferring the view that
// last stood at the same index. A recycled item keeps what its previous owner put in it, so the
// set-up block must reset everything it shows. Blocks that refer to a page must capture it
// weakly; the view holds its delegate weakly. Main thread only, pool included.
#include "platform/gfx/Rect.h"
#include "platform/ui/View.h"
#include "ui/SegmentItemView.h"
#include "ui/SegmentViewDelegate.h"
#include "ui/SegmentViewItemModel.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kit {

class SegmentView : public ui::View {
    QUILLORA_CLASS(SegmentView)

    explicit SegmentView(gfx::Rect frame = {}) : ui::View(frame) {}
    // `imageSize` and `imageOffset` shape the icons of setItems() items.
    SegmentView(gfx::Rect frame, gfx::Size imageSize, gfx::Point imageOffset)
        : ui::View(frame), imageSize_(imageSize), imageOffset_(imageOffset) {}

    // Builds or refreshes the content of the item at an index, at every rebuild.
    std::function<void(std::int64_t index, SegmentItemView& item)> setUpCustomView;
    // After a tap, once the selection and the delegate have been told.
    std::function<void(std::int64_t index, SegmentItemView& item)> didClickItem;
    // Every time an item's selected state is set.
    std::function<void(std::int64_t index, SegmentItemView& item, bool selected)> itemChangeState;

    // Rebuilds every item: `count` items, `perLine` to a line (0 leaves the view empty), recycled
    // through the pool of `ide` when one is given. Outside auto-size mode items fill equal cells
    // of the view; in it they keep their sizes and are placed by the strip or the flow.
    void setItemCount(std::int64_t count, std::int64_t perLine, const std::optional<std::string>& ide);
    void setItemCount(std::int64_t count, std::int64_t perLine);
    // One line of `count` equal cells, keeping the selected index.
    void setItemCount(std::int64_t count);
    // Rebuilds with the current number of items.
    void refreshView();

    // The lines `count` items take at `perLine` to a line; a per-line value of 0 gives one line
    // for any items and none for no items.
    static std::int64_t getLinesFromCount(std::int64_t count, std::int64_t perLine);
    // Takes from `pool` the view that last stood at `index`, else the pool's last view; null when
    // the pool is empty.
    static std::shared_ptr<SegmentItemView> getUnUsed(std::int64_t index,
                                                      std::vector<std::shared_ptr<SegmentItemView>>& pool);
    // Empties the class-wide pools.
    static void clearIds();

    // The strip: items side by side from x = 0 at the view's height; the view's width becomes
    // their sum.
    void autoLinesViews(const std::vector<std::shared_ptr<SegmentItemView>>& views);
    // The wrapping flow: rows of items a screen-relative gap apart; the view's height follows.
    void autoSizeViews(const std::vector<std::shared_ptr<SegmentItemView>>& views);

    // Icon mode: one item with icon and caption per model, in equal cells of one row.
    void setItems(std::vector<std::shared_ptr<SegmentViewItemModel>> items);

    // Selects the item at `index` and deselects the others; with canCancel, toggles it instead.
    void setIndex(std::int64_t index);
    std::int64_t index() const { return index_; }
    // The touch-up-inside action of every item.
    void click(SegmentItemView& item);

    bool canCancel() const { return canCancel_; }
    void setCanCancel(bool value) { canCancel_ = value; }
    bool reclickAble() const { return reclickAble_; }
    void setReclickAble(bool value) { reclickAble_ = value; }
    bool isAutoSize() const { return isAutoSize_; }
    void setIsAutoSize(bool value) { isAutoSize_ = value; }
    std::int64_t numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(std::int64_t value) { numberOfLines_ = value; }
    gfx::Size imageSize() const { return imageSize_; }
    void setImageSize(gfx::Size value) { imageSize_ = value; }
    gfx::Point imageOffset() const { return imageOffset_; }
    void setImageOffset(gfx::Point value) { imageOffset_ = value; }
    std::shared_ptr<SegmentViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<SegmentViewDelegate>& delegate) { delegate_ = delegate; }
    const std::vector<std::shared_ptr<SegmentItemView>>& itemViews() const { return itemViews_; }
    const std::vector<std::shared_ptr<SegmentViewItemModel>>& items() const { return items_; }

private:
    void attachClick(SegmentItemView& item);

    std::vector<std::shared_ptr<SegmentItemView>> itemViews_;
    std::vector<std::shared_ptr<SegmentViewItemModel>> items_;
    gfx::Size imageSize_;
    gfx::Point imageOffset_;
    std::weak_ptr<SegmentViewDelegate> delegate_;
    std::int64_t index_ = -1;
    std::int64_t numberOfLines_ = 0;
    bool canCancel_ = false;
    bool reclickAble_ = false;
    bool isAutoSize_ = false;
};

} // namespace kit
