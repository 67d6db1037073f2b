#include "Modules/Main/QUMainController.h"

#include "Modules/Main/QUMainDetailController.h"
#include "Modules/Main/QUMainItemSeg.h"
#include "platform/ui/NavigationController.h"
#include "refresh/RefreshHeader.h"
#include "refresh/RefreshScrollView.h"
#include "ui/Utility.h"
#include "ui/ViewGeometry.h"
#include "ui/c.h"

namespace kit {

namespace {

} // namespace

QUMainController::QUMainController() {
    const double u = c::unit();
    topBgImageView_ = core::make<ui::ImageView>(gfx::Rect{44 * u, 43.5 * u, 998 * u, 89 * u});
    searchView_ = core::make<QUMainSearchView>(gfx::Rect{0, 176 * u, 1080 * u, 126 * u});
    classSeg_ = core::make<SegmentView>(gfx::Rect{0, 372 * u, 1080 * u, 126 * u});
}

void QUMainController::init() {
    // The request front refers back to the page before the page loads its view.
    api_->controller = std::static_pointer_cast<MWRootController>(shared_from_this());
    MWRootController::init();
}

void QUMainController::viewDidLoad() {
    MWRootController::viewDidLoad();
    navBar()->setBackgroundColor(c::colorFFFFFF());
    view()->setBackgroundColor(c::colorFFFFFF());
    scrollView()->setBackgroundColor(c::colorFFFFFF());
    isBarHidden = true;
    isBackBtnHidden = false;

    topBgImageView_->setImage(gfx::Image::named("main_img_bg.png"));
    scrollView()->addSubview(topBgImageView_);
    backBtn()->setImage(Utility::imageForToRectCenter({120, 120}, gfx::Image::named("common_btn_left_slide.png")));

    scrollView()->addSubview(searchView_);
    scrollView()->addSubview(classSeg_);
    // Flow mode: every group is as wide as the column, so each sits alone on its row.
    classSeg_->setIsAutoSize(true);

    std::weak_ptr<QUMainController> weakSelf = std::static_pointer_cast<QUMainController>(shared_from_this());
    searchView_->setAction([weakSelf](ui::Button&) {
        if (auto self = weakSelf.lock()) self->openSearch();
    });
    addScrollHeaderRefresh();
}

void QUMainController::openSearch() {
    if (auto navigation = navigationController())
        navigation->pushViewController(core::make<QUMainDetailController>(std::nullopt), true);
}

void QUMainController::loadData(bool) {
    std::weak_ptr<QUMainController> weakSelf = std::static_pointer_cast<QUMainController>(shared_from_this());
    api_->tagList(
        network::Api::kTagListPath, {},
        [weakSelf](const std::shared_ptr<network::MWMainListModel>& model, const core::Dictionary& answer) {
            // The side menu reads the last tag list for the about page's address.
            network::Api::rememberMainList(model, answer, [weakSelf](const auto& list, const core::Dictionary&) {
                auto self = weakSelf.lock();
                if (!self) return;
                self->listModel_ = list;
                self->endHeaderRefreshing();
            });
        },
        // A failed pull must not leave the header spinning: the page lives for the whole run, and
        // a busy header would also keep the loading overlay away from every later request.
        [weakSelf](const std::shared_ptr<network::MWModel>&, const core::Dictionary&) {
            if (auto self = weakSelf.lock()) self->endHeaderRefreshing();
        },
        true);
}

void QUMainController::endHeaderRefreshing() {
    if (auto header = refresh::rf_header(*scrollView())) header->endRefreshing();
}

void QUMainController::reloadView() {
    if (!listModel_) return;
    // The running height of this rebuild, shared by the group builds it runs.
    auto totalHeight = std::make_shared<double>(0);
    std::weak_ptr<QUMainController> weakSelf = std::static_pointer_cast<QUMainController>(shared_from_this());
    classSeg_->setUpCustomView = [weakSelf, totalHeight](std::int64_t index, SegmentItemView& item) {
        if (auto self = weakSelf.lock()) self->buildGroup(index, item, *totalHeight);
    };
    classSeg_->setItemCount(static_cast<std::int64_t>(listModel_->list.size()));
}

void QUMainController::buildGroup(std::int64_t index, SegmentItemView& item, double& totalHeight) {
    if (!listModel_ || index < 0 || index >= static_cast<std::int64_t>(listModel_->list.size())) return;
    const auto& model = listModel_->list[static_cast<std::size_t>(index)];
    auto group = core::make<QUMainItemSeg>(gfx::Rect{0, 0, 1080 * c::unit(), 0});
    group->setController(std::static_pointer_cast<QUMainController>(shared_from_this()));
    item.addSubview(group);
    group->titleLabel()->setText(model->title);
    group->setModel(model);
    setSize(item, size(*group));
    totalHeight += height(item);
    setHeight(*classSeg_, totalHeight);
}

} // namespace kit
