#pragma once
// A table: sections of rows in one column, with optional section headers and footers, in a
// scroll view. Plain tables keep the header of the section at the top in view ("sticky"); grouped
// tables scroll their headers with the rows and use 18-point headers and footers where the
// delegate gives a height of 0 (a height of 0.001 is how a grouped table is told "none").
//
// Rows are shown by cells that the data source makes or takes from the reuse queue: only the rows
// in view have cells, and a cell that scrolls away is queued under its reuse identifier (a cell
// without one is dropped). Counts and heights are read at reloadData() (or at the first layout),
// and cells are made when the table lays out. Every reloadData(), including one through a
// subclass that calls the inherited reloadData(), ends with the scroll view's reload hook.
//
// Selection: a tap on a row (a touch that neither moved into a scroll nor was cancelled) selects
// it, deselects the one before and tells the delegate. Main thread only.

#include "platform/ui/ScrollView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"

#include <map>
#include <optional>
#include <vector>

namespace ui {

enum class TableViewStyle { plain = 0, grouped = 1 };
enum class TableViewCellSeparatorStyle { none = 0, singleLine = 1 };

class TableView : public ScrollView {
    QUILLORA_CLASS(TableView)

    explicit TableView(gfx::Rect frame = {}, TableViewStyle style = TableViewStyle::plain);
    void init() override;

    TableViewStyle style() const { return style_; }
    std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<TableViewDataSource> dataSource);
    std::shared_ptr<TableViewDelegate> tableDelegate() const { return tableDelegate_.lock(); }
    // Also the scroll view's delegate.
    void setDelegate(std::weak_ptr<TableViewDelegate> delegate);

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height) { rowHeight_ = height; }
    double sectionHeaderHeight() const { return sectionHeaderHeight_; }
    void setSectionHeaderHeight(double height) { sectionHeaderHeight_ = height; }
    double sectionFooterHeight() const { return sectionFooterHeight_; }
    void setSectionFooterHeight(double height) { sectionFooterHeight_ = height; }
    // Estimates are stored for callers that set them; heights are always measured exactly.
    double estimatedRowHeight() const { return estimatedRowHeight_; }
    void setEstimatedRowHeight(double height) { estimatedRowHeight_ = height; }
    double estimatedSectionHeaderHeight() const { return estimatedSectionHeaderHeight_; }
    void setEstimatedSectionHeaderHeight(double height) { estimatedSectionHeaderHeight_ = height; }
    double estimatedSectionFooterHeight() const { return estimatedSectionFooterHeight_; }
    void setEstimatedSectionFooterHeight(double height) { estimatedSectionFooterHeight_ = height; }

    TableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(TableViewCellSeparatorStyle style) { separatorStyle_ = style; setNeedsLayout(); }
    gfx::Color separatorColor() const { return separatorColor_; }
    void setSeparatorColor(gfx::Color color) { separatorColor_ = color; setNeedsLayout(); }
    gfx::EdgeInsets separatorInset() const { return separatorInset_; }
    void setSeparatorInset(gfx::EdgeInsets inset) { separatorInset_ = inset; setNeedsLayout(); }
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }

    // Views above the first and below the last section (their heights count as they are).
    const std::shared_ptr<View>& tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(std::shared_ptr<View> view);
    const std::shared_ptr<View>& tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(std::shared_ptr<View> view);

    // Reads the counts and heights again and drops the cells shown; ends with the reload hook.
    virtual void reloadData();
    long numberOfSections() const;
    long numberOfRowsInSection(long section) const;
    std::int64_t totalDataCount() const override;

    std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // The cell showing a row, if the row is in view.
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(const IndexPath& indexPath) const;
    std::vector<std::shared_ptr<TableViewCell>> visibleCells() const;
    std::vector<IndexPath> indexPathsForVisibleRows() const;
    std::shared_ptr<View> headerViewForSection(long section) const;

    // Content coordinates.
    gfx::Rect rectForSection(long section) const;
    gfx::Rect rectForHeaderInSection(long section) const;
    gfx::Rect rectForFooterInSection(long section) const;
    gfx::Rect rectForRowAtIndexPath(const IndexPath& indexPath) const;
    std::optional<IndexPath> indexPathForRowAtPoint(gfx::Point point) const;

    std::optional<IndexPath> indexPathForSelectedRow() const { return selected_; }
    void selectRowAtIndexPath(std::optional<IndexPath> indexPath, bool animated = false);
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated = false);

    enum class ScrollPosition { none, top, middle, bottom };
    void scrollToRowAtIndexPath(const IndexPath& indexPath, ScrollPosition position, bool animated = false);

    void layoutSubviews() override;
    void touchesBegan(const TouchSet& touches) override;
    void touchesEnded(const TouchSet& touches) override;
    void touchesCancelled(const TouchSet& touches) override;

private:
    struct Section {
        double top = 0;
        double headerHeight = 0;
        std::vector<double> rowTops;  // one more than the rows: the last is the rows' end
        double footerHeight = 0;
        double bottom = 0;
        std::shared_ptr<View> header;
        std::shared_ptr<View> footer;
        bool askedHeader = false;
        bool askedFooter = false;
    };
    void loadGeometry();
    void recycle(const std::shared_ptr<TableViewCell>& cell);
    void tile();
    void placeSupplementaryViews(const gfx::Rect& visible);
    double headerHeight(long section, bool hasView);
    double footerHeight(long section, bool hasView);

    TableViewStyle style_;
    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> tableDelegate_;
    double rowHeight_ = 44;
    double sectionHeaderHeight_;
    double sectionFooterHeight_;
    double estimatedRowHeight_ = 0;
    double estimatedSectionHeaderHeight_ = 0;
    double estimatedSectionFooterHeight_ = 0;
    TableViewCellSeparatorStyle separatorStyle_ = TableViewCellSeparatorStyle::singleLine;
    gfx::Color separatorColor_ = gfx::Color::rgb(200, 199, 204);
    gfx::EdgeInsets separatorInset_{0, 15, 0, 0};
    bool allowsSelection_ = true;
    std::shared_ptr<View> tableHeaderView_;
    std::shared_ptr<View> tableFooterView_;

    bool loaded_ = false;
    std::vector<Section> sections_;
    std::map<IndexPath, std::shared_ptr<TableViewCell>> visible_;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> reusable_;
    std::optional<IndexPath> selected_;
    std::optional<IndexPath> touchedRow_;
};

} // namespace ui
