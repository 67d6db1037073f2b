#pragma once
// One row of the side menu: an icon and a title. The row takes no touches itself, so a tap on it
// (icon and title included) reaches the tag grid's item button underneath. Main thread only.
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

#include <memory>

namespace kit {

class QULeftControllerSegItem : public ui::View {
    QUILLORA_CLASS(QULeftControllerSegItem)

    // Sizes are in the layout unit of the window that exists when the row is made.
    explicit QULeftControllerSegItem(gfx::Rect frame = {});
    void init() override;

    const std::shared_ptr<ui::ImageView>& iconImageView() const { return iconImageView_; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }

private:
    std::shared_ptr<ui::ImageView> iconImageView_;
    std::shared_ptr<ui::Label> titleLabel_;
};

} // namespace kit
