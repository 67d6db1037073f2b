#include "ui/SegmentView.h"

#include "image_cache/RIImageViewWebCache.h"
#include "platform/ui/Screen.h"
#include "ui/ViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kit {
namespace {

using ItemList = std::vector<std::shared_ptr<SegmentItemView>>;

// The class-wide pools: for an identifier X, "X__unused" holds parked views and "X__unuseing" the
// views taken from it since the last rebuild. Made on first use and kept for the process.
std::map<std::string, ItemList>& pools() {
    static auto* shared = new std::map<std::string, ItemList>;
    return *shared;
}

// An icon address as a URL; text that is no URL counts as none.
std::optional<net::URL> iconURL(const std::optional<std::string>& address) {
    return address ? net::URL::parse(*address) : std::nullopt;
}

} // namespace

std::int64_t SegmentView::getLinesFromCount(std::int64_t count, std::int64_t perLine) {
    // A per-line value of 0 counts as a quotient of 0 and a remainder of the whole count, so the
    // division that would be undefined is never made.
    if (perLine == 0) return count != 0 ? 1 : 0;
    return count / perLine + (count % perLine != 0 ? 1 : 0);
}

std::shared_ptr<SegmentItemView> SegmentView::getUnUsed(std::int64_t index, ItemList& pool) {
    if (pool.empty()) return nullptr;
    auto same = std::find_if(pool.begin(), pool.end(), [&](const auto& view) { return view->index() == index; });
    if (same == pool.end()) same = std::prev(pool.end());
    auto view = *same;
    pool.erase(same);
    return view;
}

void SegmentView::clearIds() { pools().clear(); }

void SegmentView::attachClick(SegmentItemView& item) {
    item.removeTarget(nullptr, ui::allEvents);
    std::weak_ptr<SegmentView> weakSelf = std::static_pointer_cast<SegmentView>(shared_from_this());
    item.addTarget(std::weak_ptr<void>(weakSelf), [weakSelf](ui::Control& sender) {
        if (auto self = weakSelf.lock()) self->click(static_cast<SegmentItemView&>(sender));
    }, ui::touchUpInside);
}

void SegmentView::setItemCount(std::int64_t count, std::int64_t perLine, const std::optional<std::string>& ide) {
    ItemList* freePool = nullptr;
    ItemList* inUse = nullptr;
    if (ide) {
        freePool = &pools()[*ide + "__unused"];
        inUse = &pools()[*ide + "__unuseing"];
    }
    for (const auto& item : itemViews_) {
        if (freePool) {
            freePool->push_back(item);
            if (auto at = std::find(inUse->begin(), inUse->end(), item); at != inUse->end()) inUse->erase(at);
        }
        item->removeFromSuperview();
    }
    itemViews_.clear();
    if (perLine == 0) return;

    const std::int64_t lines = getLinesFromCount(count, perLine);
    const gfx::Size size = bounds().size;
    auto cell = [&](std::int64_t i) {
        double w = size.width / static_cast<double>(perLine), h = size.height / static_cast<double>(lines);
        return gfx::Rect{w * static_cast<double>(i % perLine), h * static_cast<double>(i / perLine), w, h};
    };
    auto self = std::static_pointer_cast<SegmentView>(shared_from_this());
    for (std::int64_t i = 0; i < count; ++i) {
        std::shared_ptr<SegmentItemView> item;
        if (freePool && !freePool->empty()) {
            item = getUnUsed(i, *freePool);
            inUse->push_back(item);
            if (!isAutoSize_) item->setFrame(cell(i));
        } else {
            item = isAutoSize_ ? core::make<SegmentItemView>() : core::make<SegmentItemView>(cell(i));
        }
        item->setIndex(i);
        item->setSeg(self);
        if (setUpCustomView) {
            setUpCustomView(i, *item);
            item->setItemSelected(i == index_);
        }
        attachClick(*item);
        addSubview(item);
        itemViews_.push_back(item);
    }
    if (isAutoSize_) {
        if (numberOfLines_ == 1) autoLinesViews(itemViews_);
        else autoSizeViews(itemViews_);
    }
}

void SegmentView::setItemCount(std::int64_t count, std::int64_t perLine) { setItemCount(count, perLine, std::nullopt); }

void SegmentView::setItemCount(std::int64_t count) {
    const std::int64_t remembered = index_;
    setItemCount(count, count);
    setIndex(remembered);
}

void SegmentView::refreshView() { setItemCount(static_cast<std::int64_t>(itemViews_.size())); }

void SegmentView::autoLinesViews(const ItemList& views) {
    setWidth(*this, 0);
    for (const auto& item : views) {
        setX(*item, width(*this));
        setHeight(*item, height(*this));
        setWidth(*this, x(*item) + width(*item));
    }
}

void SegmentView::autoSizeViews(const ItemList& views) {
    const double screenWidth = ui::Screen::main().bounds().width();
    const double g = screenWidth * 40 / 1080;
    const double G = std::trunc(g);
    double V = G;
    const double Wv = width(*this);

    struct Row {
        ItemList items;
        double width = 0, height = 0;
    };
    std::vector<Row> rows;
    bool rowOpen = false;
    for (const auto& item : views) {
        if (!rowOpen) {
            rows.emplace_back();
            rowOpen = true;
        }
        Row* row = &rows.back();
        const double w = width(*item), h = height(*item);
        if (w > Wv - 2 * G) {
            // An oversized item ends its row and takes the vertical gaps away from the whole pass.
            row->items.push_back(item);
            row->width = w;
            row->height = h;
            rowOpen = false;
            V = 0;
            continue;
        }
        const double gaps = static_cast<double>(row->items.size() + 1) * G;
        if (!row->items.empty() && !(row->width + w + gaps < Wv)) {
            // The item opens the next row. An empty row takes any item that is not oversized, so
            // the walk always moves on.
            rows.emplace_back();
            row = &rows.back();
        }
        row->items.push_back(item);
        row->width += w;
        row->height = std::max(row->height, h);
    }

    double top = 0;
    const double halfGap = std::trunc(V / 2);
    for (const auto& row : rows) {
        const double cy = top + row.height / 2 + halfGap;
        double previousRight = 0;
        for (const auto& item : row.items) {
            const double w = width(*item);
            item->setCenter({previousRight + (w < Wv ? g : 0) + w / 2, cy});
            previousRight = x(*item) + w;
        }
        top += row.height + V;
    }
    setHeight(*this, top + V);
}

void SegmentView::setItems(std::vector<std::shared_ptr<SegmentViewItemModel>> items) {
    items_ = std::move(items);
    for (const auto& item : itemViews_) item->removeFromSuperview();
    itemViews_.clear();

    const gfx::Size size = bounds().size;
    const double cellWidth = items_.empty() ? 0 : size.width / static_cast<double>(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const auto& model = items_[i];
        auto item = core::make<SegmentItemView>(gfx::Rect{cellWidth * static_cast<double>(i), 0, cellWidth, size.height},
                                                imageSize_, imageOffset_);
        item->detailLabel()->setText(model->title.value_or(""));
        // Remote icons load into the icon view, the normal one as its image and the selected one
        // as its highlighted image, each in its own slot so neither load cancels the other and a
        // local normal icon is never replaced.
        if (model->imageString) item->setIconImage(gfx::Image::named(*model->imageString));
        else image_cache::ri_setImageWithURL(*item->iconImageView(), iconURL(model->imageUrl));
        if (model->hightlightImageString) item->setHighlightedIconImage(gfx::Image::named(*model->hightlightImageString));
        else image_cache::ri_setHighlightedImageWithURL(*item->iconImageView(), iconURL(model->hightlightUrl));

        item->setItemSelected(false);
        item->setIndex(static_cast<std::int64_t>(i));
        attachClick(*item);
        addSubview(item);
        itemViews_.push_back(item);
    }
}

void SegmentView::setIndex(std::int64_t index) {
    index_ = index;
    std::shared_ptr<SegmentItemView> chosen;
    for (std::size_t i = 0; i < itemViews_.size(); ++i) {
        if (static_cast<std::int64_t>(i) == index) chosen = itemViews_[i];
        else itemViews_[i]->setItemSelected(false);
    }
    // An index with no item selects nothing; in cancel mode it also clears the index.
    if (canCancel_) {
        if (chosen) chosen->setItemSelected(!chosen->itemSelected());
        if (!chosen || !chosen->itemSelected()) index_ = -1;
    } else if (chosen) {
        chosen->setItemSelected(true);
    }
}

void SegmentView::click(SegmentItemView& item) {
    // The blocks may rebuild this view and drop the item, so both stay alive for the whole tap.
    auto keepItem = item.shared_from_this();
    auto keepSelf = shared_from_this();
    const std::int64_t tapped = item.index();
    if (tapped == index_ && !canCancel_ && !reclickAble_) return;
    setIndex(tapped);
    if (auto d = delegate()) d->segmentView(*this, item);
    if (didClickItem) didClickItem(tapped, item);
}

} // namespace kit
