#pragma once
// A row of the search history: a clock icon, the remembered search text in light grey and an
// arrow at the right end. The screen fills a row by setting the label's text to the history
// entry. Main thread only.
#include "Commons/TableView/MWTableViewCell.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace kit {

class QNDiscoverSearchResultHistoryCell : public MWTableViewCell {
    QUILLORA_CLASS(QNDiscoverSearchResultHistoryCell)

    explicit QNDiscoverSearchResultHistoryCell(ui::TableViewCellStyle style = ui::TableViewCellStyle::default_,
                                               std::string reuseIdentifier = {});
    void setupSubviews() override;

    const std::shared_ptr<ui::ImageView>& iconImageView() const { return iconImageView_; }
    const std::shared_ptr<ui::ImageView>& rightIconImageView() const { return rightIconImageView_; }
    const std::shared_ptr<ui::Label>& contentLabel() const { return contentLabel_; }

private:
    std::shared_ptr<ui::ImageView> iconImageView_;
    std::shared_ptr<ui::ImageView> rightIconImageView_;
    std::shared_ptr<ui::Label> contentLabel_;
};

} // namespace kit
