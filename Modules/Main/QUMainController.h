#pragma once
// The home page: a top picture, the search bar (a tap opens the answer list in search mode) and
// the service's tag groups, one QUMainItemSeg per group, stacked without gaps in a flow-mode
// SegmentView. It asks for the tag list whenever the base page's refresh logic calls loadData
// (its "_refresh" notification, posted after each server switch) and when it is pulled down;
// every answer rebuilds the groups from scratch. The back button is visible and shows the
// side-menu glyph; what it does is the base page's until the owner sets its action. Main thread
// only.
#include "Commons/Controller/MWRootController.h"
#include "network/Api.h"
#include "network/ServerModels.h"
#include "platform/ui/ImageView.h"
#include "ui/QUMainSearchView.h"
#include "ui/SegmentView.h"

#include <memory>

namespace kit {

class QUMainController : public MWRootController {
    QUILLORA_CLASS(QUMainController)

    QUMainController();
    void init() override;

    const std::shared_ptr<ui::ImageView>& topBgImageView() const { return topBgImageView_; }
    const std::shared_ptr<QUMainSearchView>& searchView() const { return searchView_; }
    // The column of tag groups; its height is the sum of the groups' heights.
    const std::shared_ptr<SegmentView>& classSeg() const { return classSeg_; }
    const std::shared_ptr<network::MWMainListModel>& listModel() const { return listModel_; }
    void setListModel(std::shared_ptr<network::MWMainListModel> model) { listModel_ = std::move(model); }
    // The page's request front; its controller is this page.
    const std::shared_ptr<network::Api>& api() const { return api_; }

    void viewDidLoad() override;
    // Rebuilds the groups from listModel; nothing without one.
    void reloadView() override;
    // Asks for the tag list; the flag makes no difference here.
    void loadData(bool refresh) override;

private:
    void buildGroup(std::int64_t index, SegmentItemView& item, double& totalHeight);
    void openSearch();
    void endHeaderRefreshing();

    std::shared_ptr<ui::ImageView> topBgImageView_;
    std::shared_ptr<QUMainSearchView> searchView_;
    std::shared_ptr<SegmentView> classSeg_;
    std::shared_ptr<network::MWMainListModel> listModel_;
    std::shared_ptr<network::Api> api_ = core::make<network::Api>();
};

} // namespace kit
