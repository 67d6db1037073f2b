#pragma once
// The base of the app's table cells: a right-pointing arrow at the row's right end (hidden until
// a cell shows it) and the hook in which each cell class builds its subviews. Main thread only.
#include "platform/ui/ImageView.h"
#include "platform/ui/TableViewCell.h"

namespace kit {

class MWTableViewCell : public ui::TableViewCell {
    QUILLORA_CLASS(MWTableViewCell)

    explicit MWTableViewCell(ui::TableViewCellStyle style = ui::TableViewCellStyle::default_,
                             std::string reuseIdentifier = {});
    void init() override;

    const std::shared_ptr<ui::ImageView>& rightArrow() const { return rightArrow_; }

    // Adds the arrow, then calls setupSubviews().
    virtual void setupCell();
    // Subclasses build their subviews here; the base has none.
    virtual void setupSubviews() {}

private:
    std::shared_ptr<ui::ImageView> rightArrow_;
};

} // namespace kit
