#include "Modules/Main/Cells/QUMainProblemCell.h"

#include "Modules/Main/Cells/RowTextHeight.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "ui/KeywordHighlighter.h"
#include "ui/ViewGeometry.h"
#include "ui/c.h"

namespace kit {

QUMainProblemCell::QUMainProblemCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : MWTableViewCell(style, std::move(reuseIdentifier)) {
    const double u = c::unit();
    problemLabel_ = core::make<RLLabel>(gfx::Rect{40 * u, 30 * u, 1000 * u, 0});
    problemLabel_->setNumberOfLines(0);
    problemLabel_->setFont(c::font36());
    problemLabel_->setTextColor(c::color999999());
    titleLabel_ = core::make<ui::Label>(gfx::Rect{40 * u, 0, 1000 * u, 120 * u});
    titleLabel_->setFont(c::fontBold44());
    titleLabel_->setTextColor(c::color333333());
    line_ = core::make<ui::View>(gfx::Rect{40 * u, 30 * u, 1040 * u, 1});
}

void QUMainProblemCell::setupSubviews() {
    setSelectionStyle(ui::TableViewCellSelectionStyle::none);
    contentView()->addSubview(problemLabel_);
    contentView()->addSubview(titleLabel_);
    addSubview(line_);
}

double QUMainProblemCell::titleHeight(std::string_view title) {
    const text::AttributedString plain(title, {{std::string(text::kFontAttributeName), text::box(c::font36())}});
    return rowTextHeight(plain, 1000 * c::unit());
}

void QUMainProblemCell::configure(std::string_view title, std::optional<std::string_view> tagTitle,
                                  std::optional<std::string_view> searchText) {
    const double u = c::unit();
    setY(*problemLabel_, tagTitle ? 120 * u : 30 * u);
    titleLabel_->setHidden(!tagTitle);
    titleLabel_->setText(std::string(tagTitle.value_or("")));
    problemLabel_->setAttributedText(KeywordHighlighter::highlight(title, searchText));
    setHeight(*problemLabel_, titleHeight(title) + 10 * u);
    setY(*line_, y(*problemLabel_) + height(*problemLabel_) + 40 * u - 1);
    line_->setBackgroundColor(c::color666666Alpha02());
}

} // namespace kit
