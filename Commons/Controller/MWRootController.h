#pragma once
// The base of every page: a navigation bar drawn inside the page (back button, title, right-hand
// button), one content scroll view with a view kept at the bottom of the content, an optional
// table with pull-to-refresh and load-more controls wired to loadData(), and two refresh
// notifications named after the page class ("<page name>_refresh" reloads the data,
// "<page name>_refresh_view_only" only the views) that a hidden page remembers and carries out at
// its next viewWillAppear.
//
// Creation is two-phase (core::make): the base init() ends by loading the root view, so a page's
// viewDidLoad runs inside its creation and finds its own fields at their initial values; what an
// owner sets afterwards replaces what viewDidLoad set. Visibility is the page's own
// isViewWillAppear flag, not window membership. Main thread only.
#include "Commons/Button/NXButton.h"
#include "Commons/TableView/MWScrollView.h"
#include "Commons/TableView/MWTableView.h"
#include "platform/core/NotificationCenter.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/ViewController.h"

#include <optional>
#include <string>
#include <vector>

namespace kit {

class MWRootController : public ui::ViewController, public ui::TableViewDataSource, public ui::TableViewDelegate {
    QUILLORA_CLASS(MWRootController)

    // The root view's tag; views with it never extend the content.
    static constexpr long kRootViewTag = 1008613;
    // A view with this tag inside the scroll view stops it from scrolling at all.
    static constexpr long kNoScrollTag = 10010;

    MWRootController();
    void init() override;
    ~MWRootController() override;

    // Posts "<page name>_refresh" for the page class Page, reaching every live page of it.
    template <class Page>
    static void postRefresh() {
        core::NotificationCenter::defaultCenter().post(refreshNotificationName(Page::kClassName));
    }
    static std::string refreshNotificationName(std::string_view className);
    static std::string refreshViewOnlyNotificationName(std::string_view className);

    // The qualified name of the page's class ("Quillora.<class>").
    const std::string& pageName() const { return pageName_; }

    // The largest tab-bar height any page has laid out against; it only grows.
    static double& maxTabBarHeight();

    // Stored properties.
    const std::shared_ptr<MWTableView>& tableview() const { return tableview_; }
    std::optional<gfx::Rect> tableviewFrame;
    std::optional<gfx::Rect> viewFrame;
    const std::shared_ptr<ui::View>& bottomView() const { return bottomView_; }
    double bottomViewToBottom = 20;
    const std::shared_ptr<NXButton>& rightBarButton() const { return rightBarButton_; }
    const std::shared_ptr<ui::Label>& lvTitleLabel() const { return lvTitleLabel_; }
    const std::shared_ptr<ui::ImageView>& navBar() const { return navBar_; }
    const std::shared_ptr<NXButton>& backBtn() const { return backBtn_; }
    bool isBackBtnHidden = true;
    bool isBarHidden = true;
    const std::shared_ptr<MWScrollView>& scrollView() const { return scrollView_; }
    bool isNeedRefresh = false;
    bool isNeedRefreshOnly = false;
    bool isViewWillAppear = false;
    std::vector<std::shared_ptr<MWRootController>> subControllers;
    std::weak_ptr<MWRootController> rootController;
    bool isViewShow = false;

    // The view-only refresh: panel hidden, layoutPage, reloadView, table reload, layoutPage.
    void refreshPageView();

    // Overridable operations.
    virtual void refreshViewNotiWithNoti(const core::Notification& notification);
    void didSelectRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    virtual void endRefreshing(long loaded, long total);
    virtual void layoutPage();
    virtual void reloadView() {}
    // true asks for the first page of data again, false for the next one.
    virtual void loadData(bool refresh) { (void)refresh; }
    virtual void setupNavBar();
    virtual void createTableView(ui::TableViewStyle style);
    virtual void addTableHeaderRefresh();
    virtual void addScrollHeaderRefresh();
    virtual void addTableFooterRefresh();
    std::shared_ptr<ui::View> viewForHeaderInSection(ui::TableView& tableView, long section) override;
    std::shared_ptr<ui::View> viewForFooterInSection(ui::TableView& tableView, long section) override;
    std::optional<double> heightForFooterInSection(ui::TableView& tableView, long section) override;
    std::optional<double> heightForHeaderInSection(ui::TableView& tableView, long section) override;
    long numberOfRowsInSection(ui::TableView& tableView, long section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& tableView,
                                                             const ui::IndexPath& indexPath) override;
    long numberOfSectionsInTableView(ui::TableView& tableView) override;

    // Scrolling the table dismisses the keyboard.
    void scrollViewDidScroll(ui::ScrollView& scrollView) override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;

private:
    void refreshNotiWithNoti(const core::Notification& notification);
    void rloadScroll111(const core::Notification& notification);
    std::weak_ptr<MWRootController> weakSelf();

    std::string pageName_;
    std::shared_ptr<MWTableView> tableview_;
    std::shared_ptr<ui::View> bottomView_ = core::make<ui::View>();
    std::shared_ptr<NXButton> rightBarButton_;
    std::shared_ptr<ui::Label> lvTitleLabel_;
    std::shared_ptr<ui::ImageView> navBar_;
    std::shared_ptr<NXButton> backBtn_;
    std::shared_ptr<MWScrollView> scrollView_ = core::make<MWScrollView>();
    std::vector<core::NotificationCenter::Token> observations_;
};

} // namespace kit
