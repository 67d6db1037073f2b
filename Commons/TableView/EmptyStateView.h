#pragma once
// The grey "nothing to show" panel that pages lay over a scroll view or table: a picture and the
// text "暂无数据", centred in the view that shows it. MWScrollView and MWTableView both carry one;
// this class only builds and lays it out, the views decide when it is shown.
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace kit {

class EmptyStateView : public ui::View {
    QUILLORA_CLASS(EmptyStateView)

    using ui::View::View;
    void init() override;

    const std::shared_ptr<ui::ImageView>& imageView() const { return imageView_; }
    const std::shared_ptr<ui::Label>& label() const { return label_; }

    // Places the panel at `frame` (in the host view's bounds space) and centres the picture for a
    // host of `hostSize`: 400u square at (w / 2, h / 2 − 60u), the text in a 60u strip below it.
    void layoutIn(const gfx::Rect& frame, gfx::Size hostSize);

private:
    // The panel takes taps so that they never reach the content under it; it does nothing else.
    void tapWithTap(ui::GestureRecognizer& tap) { (void)tap; }

    std::shared_ptr<ui::ImageView> imageView_ = core::make<ui::ImageView>();
    std::shared_ptr<ui::Label> label_ = core::make<ui::Label>();
};

} // namespace kit
