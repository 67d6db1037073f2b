#pragma once
// One tag group of the home screen: a colour bar, the group's title and a grid of its tags,
// three to a line. A tap on a tag (also on the one tapped last) opens the answer list for that
// tag on the navigation controller of the page that shows the group. The group's height follows
// its tags: 132u plus 138u per line of tags. Main thread only.
#include "network/ServerModels.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "ui/SegmentView.h"

#include <memory>

namespace kit {

class QUMainController;

class QUMainItemSeg : public ui::View {
    QUILLORA_CLASS(QUMainItemSeg)

    explicit QUMainItemSeg(gfx::Rect frame = {});
    void init() override;

    const std::shared_ptr<ui::View>& colorView() const { return colorView_; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<SegmentView>& seg() const { return seg_; }
    // The page that shows the group; held weakly, as the page owns the group through its views.
    std::shared_ptr<QUMainController> controller() const { return controller_.lock(); }
    void setController(const std::shared_ptr<QUMainController>& controller) { controller_ = controller; }
    const std::shared_ptr<network::MWMainModel>& modelContent() const { return modelContent_; }
    void setModelContent(std::shared_ptr<network::MWMainModel> model) { modelContent_ = std::move(model); }

    // Colours the bar, lays the group's tags out in the grid and sizes the group to them.
    void setModel(const std::shared_ptr<network::MWMainModel>& model);

private:
    void buildTag(std::int64_t index, SegmentItemView& item);
    void openTag(std::int64_t index);

    std::shared_ptr<ui::View> colorView_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<SegmentView> seg_;
    std::weak_ptr<QUMainController> controller_;
    std::shared_ptr<network::MWMainModel> modelContent_;
};

} // namespace kit
