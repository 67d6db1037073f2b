// The profile-picture page in view mode: the picture it was opened with in the big circle, the
// stored picture after "reloadHead" (at once while shown, on the next showing while hidden), and
// the back button whose action its owner sets.

#include "Modules/Common/tests/HeadPictureTest.h"
#include "Modules/Head/MWTPersonalHeadController.h"
#include "platform/core/NotificationCenter.h"
#include "platform/ui/NavigationController.h"
#include "ui/c.h"
#include "ui/n.h"

namespace kit {
namespace {

class HeadPage : public HeadPictureTest {
protected:
    // The page pushed over another one, as the owner opens it from the side menu.
    std::shared_ptr<MWTPersonalHeadController> openPage(gfx::ImagePtr image) {
        nav = core::make<ui::NavigationController>(core::make<MWRootController>());
        window->setRootViewController(nav);
        auto page = core::make<MWTPersonalHeadController>(0, std::move(image));
        page->isBackBtnHidden = false;
        nav->pushViewController(page, false);
        run(0.1);
        window->layoutIfNeeded();
        return page;
    }
    static void postReloadHead() { core::NotificationCenter::defaultCenter().post(std::string(n::reloadHeadNotification)); }
    static int widthOf(const gfx::ImagePtr& image) { return image ? image->pixelWidth() : 0; }

    std::shared_ptr<ui::NavigationController> nav;
};

TEST_F(HeadPage, ShowsThePictureItWasOpenedWithInTheBigCircle) {
    auto given = gfx::Image::named(kIcons[0]);
    auto page = openPage(given);
    const double s = c::shortSide(), u = s / 1080;
    EXPECT_EQ(page->_type, 0);
    EXPECT_EQ(page->edit()->superview(), page->scrollView());
    const auto frame = page->edit()->frame();
    EXPECT_NEAR(frame.origin.x, 40 * u, 1e-9);
    EXPECT_NEAR(frame.origin.y, 125 * u, 1e-9);
    EXPECT_NEAR(frame.size.width, s - 80 * u, 1e-9);
    EXPECT_NEAR(frame.size.height, s - 80 * u, 1e-9);
    EXPECT_NEAR(page->edit()->ring()->layer()->cornerRadius(), (s - 80 * u) / 2, 1e-9);
    EXPECT_TRUE(page->edit()->scrollView()->clipsToBounds());
    EXPECT_FALSE(page->edit()->scrollView()->isUserInteractionEnabled()) << "view mode: the picture stays put";
    EXPECT_EQ(page->edit()->imageView()->image(), given) << "nothing reloads before a refresh";

    EXPECT_EQ(page->lvTitleLabel()->text(), "个人头像");
    EXPECT_EQ(page->view()->backgroundColor(), gfx::Color::black());
    EXPECT_EQ(page->scrollView()->backgroundColor(), gfx::Color::black());
    EXPECT_EQ(page->navBar()->backgroundColor(), c::colorFFFFFF());
    EXPECT_FALSE(page->rightBarButton()->isHidden()) << "the button that offers a new picture";
    ASSERT_TRUE(page->rightBarButton()->imageForState(ui::stateNormal));
    EXPECT_EQ(page->rightBarButton()->imageForState(ui::stateNormal)->size(), (gfx::Size{120, 120}));
}

TEST_F(HeadPage, ReloadHeadShowsTheStoredPictureAtOnceOrWhenShownAgain) {
    auto page = openPage(gfx::Image::named(kIcons[0]));

    // Shown: at once. No stored picture gives the default one.
    postReloadHead();
    EXPECT_EQ(page->edit()->imageView()->image(), defaultHead());
    storeHead(pngOf(6, 6));
    postReloadHead();
    EXPECT_EQ(widthOf(page->edit()->imageView()->image()), 6);

    // Hidden under another page: remembered until it shows again.
    nav->pushViewController(core::make<MWRootController>(), false);
    run(0.1);
    storeHead(pngOf(8, 8));
    postReloadHead();
    EXPECT_EQ(widthOf(page->edit()->imageView()->image()), 6);
    nav->popViewControllerAnimated(false);
    run(0.1);
    EXPECT_EQ(widthOf(page->edit()->imageView()->image()), 8);
}

TEST_F(HeadPage, TheBackButtonRunsTheOwnersAction) {
    auto page = openPage(defaultHead());
    int taps = 0;
    page->backBtn()->setAction([&](ui::Button&) { ++taps; });
    ASSERT_FALSE(page->backBtn()->isHidden());
    const auto back = page->backBtn()->convertRect(page->backBtn()->bounds(), nullptr);
    host->tap({back.origin.x + back.size.width / 2, back.origin.y + back.size.height / 2});
    EXPECT_EQ(taps, 1);
}

} // namespace
} // namespace kit
