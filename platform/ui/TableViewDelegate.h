#pragma once
// What a table view asks of and tells its delegate (held weakly): heights and views of rows,
// section headers and footers, and selection. It is also the table's scroll view delegate.
// A height of nothing means "the table's own": its rowHeight, sectionHeaderHeight or
// sectionFooterHeight.

#include "platform/ui/IndexPath.h"
#include "platform/ui/ScrollViewDelegate.h"

#include <memory>
#include <optional>

namespace ui {

class TableView;
class TableViewCell;
class View;

class TableViewDelegate : public ScrollViewDelegate {
public:
    virtual std::optional<double> heightForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) {
        (void)tableView; (void)indexPath;
        return std::nullopt;
    }
    virtual std::optional<double> heightForHeaderInSection(TableView& tableView, long section) {
        (void)tableView; (void)section;
        return std::nullopt;
    }
    virtual std::optional<double> heightForFooterInSection(TableView& tableView, long section) {
        (void)tableView; (void)section;
        return std::nullopt;
    }
    virtual std::shared_ptr<View> viewForHeaderInSection(TableView& tableView, long section) {
        (void)tableView; (void)section;
        return nullptr;
    }
    virtual std::shared_ptr<View> viewForFooterInSection(TableView& tableView, long section) {
        (void)tableView; (void)section;
        return nullptr;
    }
    virtual void willDisplayCell(TableView& tableView, TableViewCell& cell, const IndexPath& indexPath) {
        (void)tableView; (void)cell; (void)indexPath;
    }
    virtual void didSelectRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) { (void)tableView; (void)indexPath; }
    virtual void didDeselectRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) { (void)tableView; (void)indexPath; }
};

} // namespace ui
