#pragma once
// The answer row: the answer text in the rich label, sized to the text, with the searched words
// highlighted, and a copy button at the answer's lower right that puts the plain answer on the
// pasteboard. The answer area is a one-item auto-size SegmentView whose item holds the label.
// Main thread only.
#include "Commons/Button/NXButton.h"
#include "Commons/TableView/MWTableViewCell.h"
#include "rich_label/RLLabel.h"
#include "ui/SegmentView.h"

#include <optional>
#include <string>
#include <string_view>

namespace kit {

class QUMainAnswerCell : public MWTableViewCell {
    QUILLORA_CLASS(QUMainAnswerCell)

    explicit QUMainAnswerCell(ui::TableViewCellStyle style = ui::TableViewCellStyle::default_,
                              std::string reuseIdentifier = {});
    void setupSubviews() override;

    // Shows `content` with a non-empty `searchText` highlighted and keeps it for copying.
    void configure(std::string_view content, std::optional<std::string_view> searchText);

    // The row's height for `content`, without a cell: the text's height at 900u plus 80u (20u
    // above the answer area, the label's own 40u and 20u below). Highlighting changes colours
    // only, so the search text does not matter.
    static double answerHeight(std::string_view content);

    // The copy button's action: the plain answer to the pasteboard, then the toast "复制成功".
    void copyAnswer();

    const std::shared_ptr<SegmentView>& answerSeg() const { return answerSeg_; }
    const std::shared_ptr<NXButton>& copyBtn() const { return copyBtn_; }
    const std::optional<std::string>& copyString() const { return copyString_; }

private:
    // Builds the answer's label into the segment view's one item.
    void buildAnswerView(SegmentItemView& item, const std::string& content,
                         const std::optional<std::string>& searchText);

    std::shared_ptr<SegmentView> answerSeg_;
    std::shared_ptr<NXButton> copyBtn_;
    std::optional<std::string> copyString_;
};

} // namespace kit
