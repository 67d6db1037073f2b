#pragma once
// The question row of an answer: an optional bold tag title above the question, the question in
// grey with the searched words highlighted, and a faint rule 40u below the question. The rule
// belongs to the cell itself, not to its content view. Main thread only.
#include "Commons/TableView/MWTableViewCell.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "rich_label/RLLabel.h"

#include <optional>
#include <string_view>

namespace kit {

class QUMainProblemCell : public MWTableViewCell {
    QUILLORA_CLASS(QUMainProblemCell)

    explicit QUMainProblemCell(ui::TableViewCellStyle style = ui::TableViewCellStyle::default_,
                               std::string reuseIdentifier = {});
    void setupSubviews() override;

    // Shows the question `title`, the tag title above it when there is one (the question then
    // starts 120u down instead of 30u), and highlights a non-empty `searchText` in the question.
    void configure(std::string_view title, std::optional<std::string_view> tagTitle,
                   std::optional<std::string_view> searchText);

    // The height the question text takes in its label: the shared 36 font at a width of 1000u.
    static double titleHeight(std::string_view title);

    // The question shows highlighted words, which the platform label cannot draw; the rich label
    // draws it with the same layout that titleHeight measures.
    const std::shared_ptr<RLLabel>& problemLabel() const { return problemLabel_; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ui::View>& line() const { return line_; }

private:
    std::shared_ptr<RLLabel> problemLabel_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::View> line_;
};

} // namespace kit
