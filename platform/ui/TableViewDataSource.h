#pragma once
// Where a table view gets its sections, rows and cells. The table passes itself first; the data
// source is held weakly. A data source that does not say how many sections it has has one.

#include "platform/ui/IndexPath.h"

#include <memory>

namespace ui {

class TableView;
class TableViewCell;

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual long numberOfSectionsInTableView(TableView& tableView) { (void)tableView; return 1; }
    virtual long numberOfRowsInSection(TableView& tableView, long section) = 0;
    // Usually a cell taken from the table's reuse queue (TableView::dequeueReusableCellWithIdentifier).
    virtual std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) = 0;
};

} // namespace ui
