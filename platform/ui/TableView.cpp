#include "platform/ui/TableView.h"

#include <algorithm>

namespace ui {
namespace {

constexpr double kGroupedSectionHeight = 18;
constexpr double kPlainSectionHeight = 28;

} // namespace

TableView::TableView(gfx::Rect frame, TableViewStyle style)
    : ScrollView(frame),
      style_(style),
      sectionHeaderHeight_(style == TableViewStyle::grouped ? kGroupedSectionHeight : kPlainSectionHeight),
      sectionFooterHeight_(style == TableViewStyle::grouped ? kGroupedSectionHeight : kPlainSectionHeight) {}

void TableView::init() {
    ScrollView::init();
    setAlwaysBounceVertical(true);
    setBackgroundColor(style_ == TableViewStyle::grouped ? gfx::Color::rgb(239, 239, 244) : gfx::Color::whiteColor());
}

void TableView::setDataSource(std::weak_ptr<TableViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    loaded_ = false;
    setNeedsLayout();
}

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> delegate) {
    tableDelegate_ = delegate;
    ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(delegate.lock()));
    loaded_ = false;
    setNeedsLayout();
}

void TableView::setTableHeaderView(std::shared_ptr<View> view) {
    if (tableHeaderView_) tableHeaderView_->removeFromSuperview();
    tableHeaderView_ = std::move(view);
    if (tableHeaderView_) addSubview(tableHeaderView_);
    loaded_ = false;
    setNeedsLayout();
}

void TableView::setTableFooterView(std::shared_ptr<View> view) {
    if (tableFooterView_) tableFooterView_->removeFromSuperview();
    tableFooterView_ = std::move(view);
    if (tableFooterView_) addSubview(tableFooterView_);
    loaded_ = false;
    setNeedsLayout();
}

// ---- Data

void TableView::reloadData() {
    for (auto& [path, cell] : visible_) recycle(cell);
    visible_.clear();
    loadGeometry();
    setNeedsLayout();
    executeReloadDataBlock();
}

double TableView::headerHeight(long section, bool hasView) {
    auto d = tableDelegate();
    if (auto h = d ? d->heightForHeaderInSection(*this, section) : std::nullopt)
        return style_ == TableViewStyle::grouped && *h == 0 ? sectionHeaderHeight_ : *h;
    return style_ == TableViewStyle::grouped || hasView ? sectionHeaderHeight_ : 0;
}

double TableView::footerHeight(long section, bool hasView) {
    auto d = tableDelegate();
    if (auto h = d ? d->heightForFooterInSection(*this, section) : std::nullopt)
        return style_ == TableViewStyle::grouped && *h == 0 ? sectionFooterHeight_ : *h;
    return style_ == TableViewStyle::grouped || hasView ? sectionFooterHeight_ : 0;
}

void TableView::loadGeometry() {
    loaded_ = true;
    for (auto& s : sections_) {
        if (s.header) s.header->removeFromSuperview();
        if (s.footer) s.footer->removeFromSuperview();
    }
    sections_.clear();
    auto source = dataSource();
    auto d = tableDelegate();
    long count = source ? std::max(0L, source->numberOfSectionsInTableView(*this)) : 0;
    double width = bounds().width();
    double y = tableHeaderView_ ? tableHeaderView_->frame().height() : 0;
    if (tableHeaderView_) tableHeaderView_->setFrame({0, 0, width, y});
    sections_.resize(static_cast<size_t>(count));
    for (long s = 0; s < count; ++s) {
        Section& sec = sections_[static_cast<size_t>(s)];
        // A header view is asked for now only where its presence decides the height.
        bool headerHeightKnown = style_ == TableViewStyle::grouped || (d && d->heightForHeaderInSection(*this, s));
        if (!headerHeightKnown && d) {
            sec.header = d->viewForHeaderInSection(*this, s);
            sec.askedHeader = true;
        }
        bool footerHeightKnown = style_ == TableViewStyle::grouped || (d && d->heightForFooterInSection(*this, s));
        if (!footerHeightKnown && d) {
            sec.footer = d->viewForFooterInSection(*this, s);
            sec.askedFooter = true;
        }
        sec.top = y;
        sec.headerHeight = headerHeight(s, sec.header != nullptr);
        y += sec.headerHeight;
        long rows = std::max(0L, source->numberOfRowsInSection(*this, s));
        sec.rowTops.reserve(static_cast<size_t>(rows) + 1);
        for (long r = 0; r < rows; ++r) {
            sec.rowTops.push_back(y);
            auto h = d ? d->heightForRowAtIndexPath(*this, {s, r}) : std::nullopt;
            y += h ? *h : rowHeight_;
        }
        sec.rowTops.push_back(y);
        sec.footerHeight = footerHeight(s, sec.footer != nullptr);
        y += sec.footerHeight;
        sec.bottom = y;
    }
    if (tableFooterView_) {
        double h = tableFooterView_->frame().height();
        tableFooterView_->setFrame({0, y, width, h});
        y += h;
    }
    setContentSize({width, y});
}

long TableView::numberOfSections() const { return static_cast<long>(sections_.size()); }

long TableView::numberOfRowsInSection(long section) const {
    if (section < 0 || section >= numberOfSections()) return 0;
    return static_cast<long>(sections_[static_cast<size_t>(section)].rowTops.size()) - 1;
}

std::int64_t TableView::totalDataCount() const {
    std::int64_t total = 0;
    for (long s = 0; s < numberOfSections(); ++s) total += numberOfRowsInSection(s);
    return total;
}

// ---- Geometry

gfx::Rect TableView::rectForSection(long section) const {
    if (section < 0 || section >= numberOfSections()) return {};
    const Section& s = sections_[static_cast<size_t>(section)];
    return {0, s.top, bounds().width(), s.bottom - s.top};
}

gfx::Rect TableView::rectForHeaderInSection(long section) const {
    if (section < 0 || section >= numberOfSections()) return {};
    const Section& s = sections_[static_cast<size_t>(section)];
    return {0, s.top, bounds().width(), s.headerHeight};
}

gfx::Rect TableView::rectForFooterInSection(long section) const {
    if (section < 0 || section >= numberOfSections()) return {};
    const Section& s = sections_[static_cast<size_t>(section)];
    return {0, s.bottom - s.footerHeight, bounds().width(), s.footerHeight};
}

gfx::Rect TableView::rectForRowAtIndexPath(const IndexPath& p) const {
    if (p.row < 0 || p.row >= numberOfRowsInSection(p.section)) return {};
    const Section& s = sections_[static_cast<size_t>(p.section)];
    auto r = static_cast<size_t>(p.row);
    return {0, s.rowTops[r], bounds().width(), s.rowTops[r + 1] - s.rowTops[r]};
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(gfx::Point p) const {
    if (p.x < 0 || p.x >= bounds().width()) return std::nullopt;
    for (long si = 0; si < numberOfSections(); ++si) {
        const Section& s = sections_[static_cast<size_t>(si)];
        if (s.rowTops.size() < 2 || p.y < s.rowTops.front() || p.y >= s.rowTops.back()) continue;
        auto it = std::upper_bound(s.rowTops.begin(), s.rowTops.end(), p.y);
        return IndexPath{si, static_cast<long>(it - s.rowTops.begin()) - 1};
    }
    return std::nullopt;
}

// ---- Cells

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
    auto it = reusable_.find(identifier);
    if (it == reusable_.end() || it->second.empty()) return nullptr;
    auto cell = std::move(it->second.back());
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

void TableView::recycle(const std::shared_ptr<TableViewCell>& cell) {
    cell->removeFromSuperview();
    if (!cell->reuseIdentifier().empty()) reusable_[cell->reuseIdentifier()].push_back(cell);
}

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(const IndexPath& p) const {
    auto it = visible_.find(p);
    return it == visible_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() const {
    std::vector<std::shared_ptr<TableViewCell>> out;
    for (const auto& [p, cell] : visible_) out.push_back(cell);
    return out;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const {
    std::vector<IndexPath> out;
    for (const auto& [p, cell] : visible_) out.push_back(p);
    return out;
}

std::shared_ptr<View> TableView::headerViewForSection(long section) const {
    if (section < 0 || section >= numberOfSections()) return nullptr;
    return sections_[static_cast<size_t>(section)].header;
}

void TableView::layoutSubviews() {
    ScrollView::layoutSubviews();
    if (!loaded_) loadGeometry();
    // A table scrolls only vertically: its content is as wide as it is.
    if (contentSize().width != bounds().width()) setContentSize({bounds().width(), contentSize().height});
    tile();
}

void TableView::tile() {
    auto source = dataSource();
    gfx::Rect visible = bounds();
    double width = visible.width();
    std::vector<IndexPath> needed;
    for (long si = 0; si < numberOfSections(); ++si) {
        const Section& s = sections_[static_cast<size_t>(si)];
        if (s.bottom <= visible.minY() || s.top >= visible.maxY() || s.rowTops.size() < 2) continue;
        auto first = std::upper_bound(s.rowTops.begin(), s.rowTops.end(), visible.minY());
        long r = std::max(0L, static_cast<long>(first - s.rowTops.begin()) - 1);
        long rows = static_cast<long>(s.rowTops.size()) - 1;
        for (; r < rows && s.rowTops[static_cast<size_t>(r)] < visible.maxY(); ++r)
            if (s.rowTops[static_cast<size_t>(r) + 1] > visible.minY()) needed.push_back({si, r});
    }
    // Cells of rows that left the view go back to their queues first, so the data source can
    // take them for the rows that came in.
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (!std::binary_search(needed.begin(), needed.end(), it->first)) {
            recycle(it->second);
            it = visible_.erase(it);
        } else {
            ++it;
        }
    }
    auto d = tableDelegate();
    for (const IndexPath& p : needed) {
        gfx::Rect frame = rectForRowAtIndexPath(p);
        frame.size.width = width;
        auto found = visible_.find(p);
        std::shared_ptr<TableViewCell> cell;
        if (found != visible_.end()) {
            cell = found->second;
        } else {
            if (!source) break;
            cell = source->cellForRowAtIndexPath(*this, p);
            if (!cell) continue;
            visible_[p] = cell;
            cell->setFrame(frame);
            cell->setSelected(selected_ == p);
            // New cells go below the section headers and footers, which float over the rows.
            size_t index = subviews().size();
            for (size_t i = 0; i < subviews().size(); ++i) {
                const auto& v = subviews()[i];
                bool supplementary = std::any_of(sections_.begin(), sections_.end(), [&](const Section& s) {
                    return (s.header && s.header == v) || (s.footer && s.footer == v);
                });
                if (supplementary) {
                    index = i;
                    break;
                }
            }
            insertSubview(cell, index);
            if (d) d->willDisplayCell(*this, *cell, p);
        }
        cell->setFrame(frame);
        cell->setSeparator(separatorStyle_ == TableViewCellSeparatorStyle::singleLine, separatorColor_, separatorInset_.left);
    }
    placeSupplementaryViews(visible);
}

void TableView::placeSupplementaryViews(const gfx::Rect& visible) {
    auto d = tableDelegate();
    double width = visible.width();
    double pinTop = visible.minY() + adjustedContentInset().top;
    for (long si = 0; si < numberOfSections(); ++si) {
        Section& s = sections_[static_cast<size_t>(si)];
        bool inView = s.bottom > visible.minY() && s.top < visible.maxY();
        if (!inView) continue;
        if (!s.askedHeader && d) {
            s.header = d->viewForHeaderInSection(*this, si);
            s.askedHeader = true;
        }
        if (!s.askedFooter && d) {
            s.footer = d->viewForFooterInSection(*this, si);
            s.askedFooter = true;
        }
        if (s.header) {
            double y = s.top;
            // Plain tables keep the header of the section at the top in view, until the end of
            // the section's rows pushes it away.
            if (style_ == TableViewStyle::plain)
                y = std::max(s.top, std::min(pinTop, s.bottom - s.footerHeight - s.headerHeight));
            s.header->setFrame({0, y, width, s.headerHeight});
            if (s.header->superview().get() != this) addSubview(s.header);
        }
        if (s.footer) {
            s.footer->setFrame({0, s.bottom - s.footerHeight, width, s.footerHeight});
            if (s.footer->superview().get() != this) addSubview(s.footer);
        }
    }
}

// ---- Selection

void TableView::selectRowAtIndexPath(std::optional<IndexPath> indexPath, bool animated) {
    if (selected_)
        if (auto old = cellForRowAtIndexPath(*selected_)) old->setSelected(false, animated);
    selected_ = indexPath;
    if (selected_)
        if (auto cell = cellForRowAtIndexPath(*selected_)) cell->setSelected(true, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& indexPath, bool animated) {
    if (selected_ != indexPath) return;
    if (auto cell = cellForRowAtIndexPath(indexPath)) cell->setSelected(false, animated);
    selected_.reset();
}

void TableView::scrollToRowAtIndexPath(const IndexPath& indexPath, ScrollPosition position, bool animated) {
    gfx::Rect row = rectForRowAtIndexPath(indexPath);
    gfx::EdgeInsets in = adjustedContentInset();
    double viewH = bounds().height() - in.top - in.bottom;
    double y = contentOffset().y;
    switch (position) {
    case ScrollPosition::top: y = row.minY() - in.top; break;
    case ScrollPosition::middle: y = row.midY() - in.top - viewH / 2; break;
    case ScrollPosition::bottom: y = row.maxY() - in.top - viewH; break;
    case ScrollPosition::none:
        if (row.minY() < y + in.top) y = row.minY() - in.top;
        else if (row.maxY() > y + in.top + viewH) y = row.maxY() - in.top - viewH;
        break;
    }
    y = std::clamp(y, minimumContentOffset().y, maximumContentOffset().y);
    setContentOffset({contentOffset().x, y}, animated);
}

void TableView::touchesBegan(const TouchSet& touches) {
    touchedRow_.reset();
    if (!allowsSelection_ || touches.empty()) return;
    touchedRow_ = indexPathForRowAtPoint(touches.front()->locationInView(this));
}

void TableView::touchesEnded(const TouchSet& touches) {
    auto row = touchedRow_;
    touchedRow_.reset();
    if (!row || touches.empty() || indexPathForRowAtPoint(touches.front()->locationInView(this)) != row) return;
    auto d = tableDelegate();
    auto previous = selected_;
    if (previous && previous != row) {
        deselectRowAtIndexPath(*previous);
        if (d) d->didDeselectRowAtIndexPath(*this, *previous);
    }
    selectRowAtIndexPath(row);
    if (d) d->didSelectRowAtIndexPath(*this, *row);
}

void TableView::touchesCancelled(const TouchSet&) { touchedRow_.reset(); }

} // namespace ui
