#include "Modules/Main/Cells/QUMainAnswerCell.h"

#include "Modules/Main/Cells/RowTextHeight.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/ui/Pasteboard.h"
#include "ui/HUDToastIndicator.h"
#include "ui/KeywordHighlighter.h"
#include "ui/Utility.h"
#include "ui/ViewGeometry.h"
#include "ui/c.h"

#include <algorithm>

namespace kit {

namespace {

// The answer's lines stand 20u apart, in the label and in every measurement of the row.
void addAnswerLineSpacing(text::AttributedString& string) {
    text::ParagraphStyle style;
    style.lineSpacing = 20 * c::unit();
    string.addAttribute(text::kParagraphStyleAttributeName, text::box(style), {0, string.length()});
}

} // namespace

QUMainAnswerCell::QUMainAnswerCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : MWTableViewCell(style, std::move(reuseIdentifier)) {
    const double u = c::unit();
    answerSeg_ = core::make<SegmentView>(gfx::Rect{20 * u, 20 * u, 940 * u, 0});
    copyBtn_ = core::make<NXButton>(gfx::Rect{940 * u, 20 * u, 120 * u, 120 * u});
}

void QUMainAnswerCell::setupSubviews() {
    setSelectionStyle(ui::TableViewCellSelectionStyle::none);
    // The answer area lies above the button where the two overlap.
    contentView()->addSubview(copyBtn_);
    contentView()->addSubview(answerSeg_);
    copyBtn_->setImage(Utility::imageForToRectCenter({120, 120}, gfx::Image::named("main_btn_copy.png")));
    std::weak_ptr<QUMainAnswerCell> weakSelf = std::static_pointer_cast<QUMainAnswerCell>(shared_from_this());
    copyBtn_->setAction([weakSelf](ui::Button&) {
        if (auto self = weakSelf.lock()) self->copyAnswer();
    });
}

void QUMainAnswerCell::configure(std::string_view content, std::optional<std::string_view> searchText) {
    copyString_ = std::string(content);
    // The segment view keeps the block and may run it again, so it refers to the cell weakly and
    // takes the answer from it (an answer can be megabytes: one copy is kept, the cell's) and
    // holds its own copy of the search text.
    std::weak_ptr<QUMainAnswerCell> weakSelf = std::static_pointer_cast<QUMainAnswerCell>(shared_from_this());
    std::optional<std::string> search = searchText ? std::optional<std::string>(*searchText) : std::nullopt;
    answerSeg_->setUpCustomView = [weakSelf, search](std::int64_t, SegmentItemView& item) {
        if (auto self = weakSelf.lock(); self && self->copyString_)
            self->buildAnswerView(item, *self->copyString_, search);
    };
    answerSeg_->setIsAutoSize(true);
    answerSeg_->setItemCount(1);
    const double u = c::unit();
    setY(*copyBtn_, std::max(0.0, y(*answerSeg_) + height(*answerSeg_) - 120 * u));
}

void QUMainAnswerCell::buildAnswerView(SegmentItemView& item, const std::string& content,
                                       const std::optional<std::string>& searchText) {
    const double u = c::unit();
    auto label = core::make<RLLabel>(gfx::Rect{0, 0, 920 * u, 0});
    label->setEnableCopy(true);
    label->setTextColor(c::color999999());
    label->setFont(c::font36());
    item.addSubview(label);

    auto marked = KeywordHighlighter::highlight(content, searchText);
    addAnswerLineSpacing(marked);
    const double textHeight = rowTextHeight(marked, 900 * u);
    label->setAttributedText(marked);
    setHeight(*label, textHeight + 40 * u);
    label->setNumberOfLines(0);
    label->setVerticalAlignment(0);
    label->setTextInsets({0, 20 * u, 0, 0});

    // The answer area holds this one item, so it is exactly as tall, however often it is rebuilt.
    item.setFrame({0, 0, 940 * u, height(*label)});
    setHeight(*answerSeg_, height(item));
}

double QUMainAnswerCell::answerHeight(std::string_view content) {
    text::AttributedString plain(content, {{std::string(text::kFontAttributeName), text::box(c::font36())},
                                           {std::string(text::kForegroundColorAttributeName),
                                            text::box(c::color999999())}});
    addAnswerLineSpacing(plain);
    const double u = c::unit();
    return rowTextHeight(plain, 900 * u) + 80 * u;
}

void QUMainAnswerCell::copyAnswer() {
    if (copyString_) ui::Pasteboard::general().setString(*copyString_);
    HUDToastIndicator::showToastMessage("复制成功");
}

} // namespace kit
