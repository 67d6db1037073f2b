#pragma once
// Takes a cell of class Cell from a table's reuse queue, or makes one. An empty identifier means
// the cell class's qualified name, so that cell classes dequeued without one keep separate
// queues. A queued cell of another class is dropped and a new one made.
#include "Commons/TableView/ClassName.h"
#include "platform/ui/TableView.h"

#include <string>

namespace kit {

template <class Cell>
std::shared_ptr<Cell> dequeueCell(ui::TableView& table, const std::string& identifier,
                                  ui::TableViewCellStyle style = ui::TableViewCellStyle::default_) {
    const std::string reuseIdentifier = identifier.empty() ? qualifiedClassName(Cell::kClassName) : identifier;
    if (auto cell = std::dynamic_pointer_cast<Cell>(table.dequeueReusableCellWithIdentifier(reuseIdentifier))) {
        return cell;
    }
    return core::make<Cell>(style, reuseIdentifier);
}

} // namespace kit
