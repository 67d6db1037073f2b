#include "platform/ui/CollectionView.h"

#include <algorithm>
#include <cmath>

namespace ui {

void CollectionView::init() {
    ScrollView::init();
    setAlwaysBounceVertical(true);
}

void CollectionView::setDataSource(std::weak_ptr<CollectionViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    loaded_ = false;
    setNeedsLayout();
}

void CollectionView::reloadData() {
    for (auto& [p, cell] : visible_) {
        cell->removeFromSuperview();
        if (!cell->reuseIdentifier().empty()) reusable_[cell->reuseIdentifier()].push_back(cell);
    }
    visible_.clear();
    loadGeometry();
    setNeedsLayout();
    executeReloadDataBlock();
}

void CollectionView::loadGeometry() {
    loaded_ = true;
    itemFrames_.clear();
    auto source = dataSource();
    long sections = source ? std::max(0L, source->numberOfSectionsInCollectionView(*this)) : 0;
    double width = bounds().width();
    laidOutWidth_ = width;
    double usable = width - sectionInset_.left - sectionInset_.right;
    // As many items as fit in a row, at least one.
    long perRow = std::max(1L, static_cast<long>(std::floor((usable + interitemSpacing_) / (itemSize_.width + interitemSpacing_))));
    double y = 0;
    for (long s = 0; s < sections; ++s) {
        long items = std::max(0L, source->numberOfItemsInSection(*this, s));
        std::vector<gfx::Rect> frames;
        y += sectionInset_.top;
        for (long i = 0; i < items; ++i) {
            long column = i % perRow, row = i / perRow;
            frames.push_back({sectionInset_.left + column * (itemSize_.width + interitemSpacing_),
                              y + row * (itemSize_.height + lineSpacing_), itemSize_.width, itemSize_.height});
        }
        long rows = (items + perRow - 1) / perRow;
        if (rows > 0) y += rows * itemSize_.height + (rows - 1) * lineSpacing_;
        y += sectionInset_.bottom;
        itemFrames_.push_back(std::move(frames));
    }
    setContentSize({width, y});
}

long CollectionView::numberOfItemsInSection(long section) const {
    if (section < 0 || section >= numberOfSections()) return 0;
    return static_cast<long>(itemFrames_[static_cast<size_t>(section)].size());
}

std::int64_t CollectionView::totalDataCount() const {
    std::int64_t total = 0;
    for (long s = 0; s < numberOfSections(); ++s) total += numberOfItemsInSection(s);
    return total;
}

gfx::Rect CollectionView::frameForItemAtIndexPath(const IndexPath& p) const {
    if (p.item() < 0 || p.item() >= numberOfItemsInSection(p.section)) return {};
    return itemFrames_[static_cast<size_t>(p.section)][static_cast<size_t>(p.item())];
}

std::shared_ptr<CollectionViewCell> CollectionView::dequeueReusableCellWithReuseIdentifier(const std::string& identifier) {
    auto it = reusable_.find(identifier);
    if (it == reusable_.end() || it->second.empty()) return nullptr;
    auto cell = std::move(it->second.back());
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

std::shared_ptr<CollectionViewCell> CollectionView::cellForItemAtIndexPath(const IndexPath& p) const {
    auto it = visible_.find(p);
    return it == visible_.end() ? nullptr : it->second;
}

void CollectionView::layoutSubviews() {
    ScrollView::layoutSubviews();
    if (!loaded_ || laidOutWidth_ != bounds().width()) loadGeometry();
    gfx::Rect visible = bounds();
    std::map<IndexPath, std::shared_ptr<CollectionViewCell>> kept;
    std::vector<IndexPath> needed;
    for (long s = 0; s < numberOfSections(); ++s)
        for (long i = 0; i < numberOfItemsInSection(s); ++i)
            if (frameForItemAtIndexPath({s, i}).intersects(visible)) needed.push_back({s, i});
    for (auto& [p, cell] : visible_) {
        if (std::binary_search(needed.begin(), needed.end(), p)) {
            kept[p] = cell;
        } else {
            cell->removeFromSuperview();
            if (!cell->reuseIdentifier().empty()) reusable_[cell->reuseIdentifier()].push_back(cell);
        }
    }
    visible_ = std::move(kept);
    auto source = dataSource();
    for (const auto& p : needed) {
        auto cell = cellForItemAtIndexPath(p);
        if (!cell && source) {
            cell = source->cellForItemAtIndexPath(*this, p);
            if (!cell) continue;
            visible_[p] = cell;
            addSubview(cell);
        }
        if (cell) cell->setFrame(frameForItemAtIndexPath(p));
    }
}

} // namespace ui
