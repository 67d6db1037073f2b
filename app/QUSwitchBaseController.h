#pragma once
// The window's root controller: two navigation stacks side by side (the home list and the about
// page), switched by code with the tab bar hidden. It owns the side menu's contents and wires the
// app's navigation: the root pages' back buttons open the side menu, its rows switch pages or ask
// for a rating, and its head picture opens the profile-picture page. Main thread only.

#include "Modules/Common/QULeftController.h"
#include "Modules/Main/QUMainController.h"
#include "platform/ui/TabBarController.h"
#include "ui/QUAboutController.h"

#include <memory>

namespace app {

class QUSwitchBaseController : public ui::TabBarController {
    QUILLORA_CLASS(QUSwitchBaseController)

    // The app's page in the store, where the rating prompt leads.
    static constexpr const char* kAppStoreId = "1490213786";

    void init() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Posts "SMSideTapNotification"; nothing in the app calls it.
    void demoWithObj(const std::shared_ptr<core::Object>& object);

    const std::shared_ptr<kit::QUMainController>& mainController() const { return mainController_; }
    const std::shared_ptr<kit::QUAboutController>& aboutController() const { return aboutController_; }
    const std::shared_ptr<kit::QULeftController>& leftController() const { return leftController_; }
    // The side-menu row of the page on screen.
    long selectedRow() const { return selectedRow_; }

    // Opens the side menu from this controller.
    void presentSideMenu();
    // What the side menu's head button and rows do.
    void headTapClosure();
    void menuRowSelected(long index);

private:
    std::weak_ptr<QUSwitchBaseController> weakSelf();

    std::shared_ptr<kit::QUMainController> mainController_;
    std::shared_ptr<kit::QUAboutController> aboutController_;
    std::shared_ptr<kit::QULeftController> leftController_;
    long selectedRow_ = 0;
};

} // namespace app
