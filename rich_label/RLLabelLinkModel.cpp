#include "rich_label/RLLabelLinkModel.h"

#include "platform/ui/View.h"
#include "rich_label/RLLabelKeys.h"

RLLabelLinkModel::RLLabelLinkModel(text::AttributedString attributedString, const core::Value& insertView,
                                   gfx::Rect insertViewRect, core::Value parameter, text::Range linkRange,
                                   std::shared_ptr<RLLabel> label)
    : label_(std::move(label)),
      attributedString_(std::move(attributedString)),
      parameter_(std::move(parameter)),
      linkRange_(linkRange),
      insertViewRect_(insertViewRect),
      insertView_(insertView) {
    if (auto container = insertView.object<ui::View>())
        if (auto inner = container->viewWithTag(RLTagForName(kRLInsertViewTag))) insertView_ = core::Value(inner);
}
