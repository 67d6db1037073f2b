#include "Commons/Controller/MWRootController.h"

#include "Commons/Controller/ScrollViewRegistry.h"
#include "Commons/TableView/ClassName.h"
#include "Commons/TableView/DequeueCell.h"
#include "Commons/TableView/MWTableViewCell.h"
#include "platform/core/Log.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarController.h"
#include "refresh/RefreshAutoNormalFooter.h"
#include "refresh/RefreshNormalHeader.h"
#include "refresh/RefreshScrollView.h"
#include "ui/Utility.h"
#include "ui/c.h"
#include "ui/n.h"

#include <algorithm>
#include <cmath>

namespace kit {

namespace {

double statusBarHeight() { return ui::Screen::main().statusBarHeight(); }

bool isTable(const ui::View& view) { return dynamic_cast<const ui::TableView*>(&view) != nullptr; }

// Whether a view can extend the content: visible, not a table and not the page's root.
bool countsForContent(const ui::View& view) {
    return !isTable(view) && view.alpha() != 0 && !view.isHidden() && view.tag() != MWRootController::kRootViewTag;
}

double maxY(const ui::View& view) { return view.frame().origin.y + view.frame().size.height; }

void eraseFirst(std::vector<std::shared_ptr<ui::ScrollView>>& registry, const ui::ScrollView* view) {
    auto it = std::find_if(registry.begin(), registry.end(), [view](const auto& entry) { return entry.get() == view; });
    if (it != registry.end()) registry.erase(it);
}

} // namespace

std::string MWRootController::refreshNotificationName(std::string_view className) {
    return qualifiedClassName(className) + "_refresh";
}

std::string MWRootController::refreshViewOnlyNotificationName(std::string_view className) {
    return qualifiedClassName(className) + "_refresh_view_only";
}

double& MWRootController::maxTabBarHeight() {
    static double height = 0;
    return height;
}

MWRootController::MWRootController() {
    // The bar's frames are fixed at creation from the window's short side and the status bar.
    const double s = c::shortSide();
    const double u = s / 1080;
    const double sb = statusBarHeight();
    rightBarButton_ = core::make<NXButton>(gfx::Rect{s - 45, sb, 40, 40});
    lvTitleLabel_ = core::make<ui::Label>(gfx::Rect{50, sb, s - 100, 40});
    navBar_ = core::make<ui::ImageView>(gfx::Rect{0, 0, s, sb + 44});
    backBtn_ = core::make<NXButton>(gfx::Rect{10 * u, sb, 40, 40});
}

std::weak_ptr<MWRootController> MWRootController::weakSelf() {
    return std::static_pointer_cast<MWRootController>(shared_from_this());
}

void MWRootController::init() {
    ui::ViewController::init();
    pageName_ = qualifiedClassName(className());
    scrollView_->setRootController(weakSelf());
    auto& center = core::NotificationCenter::defaultCenter();
    auto weak = weakSelf();
    observations_.push_back(center.addObserver(refreshNotificationName(className()), [weak](const core::Notification& n) {
        if (auto self = weak.lock()) self->refreshNotiWithNoti(n);
    }));
    observations_.push_back(center.addObserver(std::string(n::enterForegroundNotification), [weak](const core::Notification& n) {
        if (auto self = weak.lock()) self->rloadScroll111(n);
    }));
    observations_.push_back(
        center.addObserver(refreshViewOnlyNotificationName(className()), [weak](const core::Notification& n) {
            if (auto self = weak.lock()) self->refreshViewNotiWithNoti(n);
        }));
    setExtendedLayoutIncludesOpaqueBars(false);
    scrollView_->addSubview(bottomView_);
    // The first use of the root view: it loads here, so the page's viewDidLoad runs as the last
    // step of its creation.
    view()->setTag(kRootViewTag);
}

MWRootController::~MWRootController() {
    auto& registry = scrollViewRegistry();
    if (tableview_) eraseFirst(registry, tableview_.get());
    eraseFirst(registry, scrollView_.get());
    core::log(pageName_ + "dealloc");
    observations_.clear();
}

void MWRootController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(c::colorFFFFFF());
    navBar_->setUserInteractionEnabled(true);
    view()->addSubview(scrollView_);
    backBtn_->setImage(gfx::Image::named("common_btn_back.png"));
    setupNavBar();
    lvTitleLabel_->setTextAlignment(ui::TextAlignment::left);
    lvTitleLabel_->setTextColor(c::color333333());
    navBar_->addSubview(lvTitleLabel_);
    lvTitleLabel_->setFont(gfx::Font::boldSystemFont(16));
    rightBarButton_->setHidden(true);
    rightBarButton_->setTitleColor(c::color4D4D4D());
    scrollViewRegistry().push_back(scrollView_);
}

void MWRootController::setupNavBar() {
    navBar_->setBackgroundColor(std::nullopt);
    navBar_->addSubview(backBtn_);
    navBar_->addSubview(rightBarButton_);
    auto weak = weakSelf();
    backBtn_->setAction([weak](ui::Button&) {
        auto self = weak.lock();
        if (!self) return;
        if (auto navigation = self->navigationController()) navigation->popViewControllerAnimated(true);
    });
    view()->addSubview(navBar_);
}

void MWRootController::refreshNotiWithNoti(const core::Notification&) {
    if (isViewWillAppear) {
        loadData(true);
    } else {
        isNeedRefresh = true;
    }
}

void MWRootController::rloadScroll111(const core::Notification&) { layoutPage(); }

void MWRootController::refreshViewNotiWithNoti(const core::Notification&) {
    if (isViewWillAppear) {
        refreshPageView();
    } else {
        isNeedRefreshOnly = true;
    }
}

void MWRootController::refreshPageView() {
    scrollView_->updateEmptyState(true);
    layoutPage();
    reloadView();
    if (tableview_) tableview_->reloadData();
    layoutPage();
}

void MWRootController::layoutPage() {
    const double s = c::shortSide();
    const double l = c::longSide();
    const double u = s / 1080;
    const double sb = statusBarHeight();
    backBtn_->setHidden(isBackBtnHidden);

    double shift = 0;
    if (std::trunc(sb) == 40) {
        auto bar = navBar_->frame();
        bar.origin.y = -20;
        navBar_->setFrame(bar);
        shift = -20;
    }
    const double nav = sb + 44;
    if (isBarHidden) {
        scrollView_->setFrame({0, nav + shift, s, l - nav - Utility::k_Height_TabBarBottom()});
    } else {
        double tabBar = 0;
        if (auto navigation = navigationController()) {
            if (auto tabs = navigation->tabBarController()) tabBar = tabs->tabBar()->frame().size.height;
        }
        maxTabBarHeight() = std::max(maxTabBarHeight(), tabBar);
        scrollView_->setFrame({0, nav + shift, s, l - nav - maxTabBarHeight()});
    }
    if (viewFrame) {
        view()->setFrame(*viewFrame);
        scrollView_->setFrame(*viewFrame);
        navBar_->setHidden(true);
    }

    const double h = scrollView_->frame().size.height;
    double contentBottom = 0;
    for (const auto& sub : scrollView_->subviews()) {
        if (!countsForContent(*sub) || sub == bottomView_) continue;
        if (sub->tag() == kNoScrollTag && sub->frame().size.height <= h + 5 * u) continue;
        contentBottom = std::max(contentBottom, maxY(*sub));
    }
    double bottomHeight = 0;
    for (const auto& sub : bottomView_->subviews()) {
        if (countsForContent(*sub)) bottomHeight = std::max(bottomHeight, maxY(*sub));
    }
    const double need = contentBottom + bottomHeight + bottomViewToBottom;
    bottomView_->setFrame({0, std::max(h, need) - bottomHeight, s, bottomHeight});
    if (h < maxY(*bottomView_)) {
        scrollView_->setContentSize({view()->frame().size.width, maxY(*bottomView_) + bottomViewToBottom});
    } else {
        scrollView_->setContentSize({0, 0});
    }
    view()->bringSubviewToFront(navBar_);
    if (tableview_) {
        const auto bounds = scrollView_->bounds();
        tableview_->setFrame(tableviewFrame.value_or(gfx::Rect{0, 0, bounds.size.width, bounds.size.height}));
    }
    if (scrollView_->viewWithTag(kNoScrollTag)) {
        scrollView_->setContentSize({0, 0});
        scrollView_->setContentOffset({0, 0}, false);
    }
}

void MWRootController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    isViewWillAppear = true;
    if (isNeedRefresh) {
        loadData(true);
        isNeedRefresh = false;
    }
    if (isNeedRefreshOnly) {
        refreshPageView();
        isNeedRefreshOnly = false;
    }
    layoutPage();
    scrollView_->updateEmptyState(true);
    for (const auto& child : subControllers) {
        if (child->isViewShow) child->viewWillAppear(animated);
        const auto bounds = scrollView_->bounds();
        child->viewFrame = gfx::Rect{0, 0, bounds.size.width, bounds.size.height};
        child->view()->setFrame(*child->viewFrame);
    }
}

void MWRootController::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    backBtn_->setHidden(isBackBtnHidden);
    for (const auto& child : subControllers) {
        if (child->isViewWillAppear) child->viewDidAppear(animated);
    }
    layoutPage();
}

void MWRootController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    for (const auto& child : subControllers) child->viewWillDisappear(animated);
    isViewWillAppear = false;
}

void MWRootController::viewDidDisappear(bool animated) {
    ui::ViewController::viewDidDisappear(animated);
    view()->endEditing(true);
    for (const auto& child : subControllers) child->viewDidDisappear(animated);
}

void MWRootController::createTableView(ui::TableViewStyle style) {
    tableview_ = core::make<MWTableView>(gfx::Rect{}, style);
    scrollViewRegistry().push_back(tableview_);
    auto self = std::static_pointer_cast<MWRootController>(shared_from_this());
    tableview_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
    tableview_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
    scrollView_->addSubview(tableview_);
    tableview_->setEstimatedRowHeight(0);
    tableview_->setEstimatedSectionHeaderHeight(0);
    tableview_->setEstimatedSectionFooterHeight(0);
    tableview_->setSeparatorColor(gfx::Color::clear());
    tableview_->setBackgroundColor(c::colorF5F5F5());
}

void MWRootController::addTableHeaderRefresh() {
    if (!tableview_) createTableView(ui::TableViewStyle::grouped);
    auto weak = weakSelf();
    refresh::setRf_header(*tableview_, refresh::RefreshNormalHeader::headerWithRefreshingBlock([weak] {
                              if (auto self = weak.lock()) self->loadData(true);
                          }));
}

void MWRootController::addScrollHeaderRefresh() {
    auto weak = weakSelf();
    refresh::setRf_header(*scrollView_, refresh::RefreshNormalHeader::headerWithRefreshingBlock([weak] {
                              if (auto self = weak.lock()) self->loadData(true);
                          }));
}

void MWRootController::addTableFooterRefresh() {
    if (!tableview_) createTableView(ui::TableViewStyle::grouped);
    auto weak = weakSelf();
    refresh::setRf_footer(*tableview_, refresh::RefreshAutoNormalFooter::footerWithRefreshingBlock([weak] {
                              if (auto self = weak.lock()) self->loadData(false);
                          }));
}

void MWRootController::endRefreshing(long loaded, long total) {
    if (!tableview_) return;
    if (auto footer = refresh::rf_footer(*tableview_)) {
        footer->setHidden(loaded >= total);
        footer->endRefreshing();
    }
    if (auto header = refresh::rf_header(*tableview_)) header->endRefreshing();
}

void MWRootController::scrollViewDidScroll(ui::ScrollView&) { view()->endEditing(true); }

void MWRootController::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) {}

std::optional<double> MWRootController::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) { return 44; }

std::shared_ptr<ui::View> MWRootController::viewForHeaderInSection(ui::TableView& tableView, long section) {
    const double h = heightForHeaderInSection(tableView, section).value_or(0.001);
    return core::make<ui::View>(gfx::Rect{0, 0, c::shortSide(), h});
}

std::shared_ptr<ui::View> MWRootController::viewForFooterInSection(ui::TableView&, long) {
    return core::make<ui::View>(gfx::Rect{0, 0, c::shortSide(), 0.001});
}

std::optional<double> MWRootController::heightForFooterInSection(ui::TableView&, long) { return 0.001; }

std::optional<double> MWRootController::heightForHeaderInSection(ui::TableView&, long) { return 0.001; }

long MWRootController::numberOfRowsInSection(ui::TableView&, long) { return 0; }

std::shared_ptr<ui::TableViewCell> MWRootController::cellForRowAtIndexPath(ui::TableView& tableView,
                                                                           const ui::IndexPath&) {
    return dequeueCell<MWTableViewCell>(tableView, pageName_);
}

long MWRootController::numberOfSectionsInTableView(ui::TableView&) { return 1; }

} // namespace kit
