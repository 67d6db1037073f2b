// The side menu's contents (header, round picture, edit button, three rows in a tag grid) and the
// synchronous picture loader, in a headless phone window. The pictures the menu names are small
// ones this test writes into a resource folder of its own, so nothing here depends on artwork.

#include "Modules/Common/QULeftControllerSegItem.h"
#include "Modules/Common/tests/HeadPictureTest.h"
#include "platform/core/NotificationCenter.h"
#include "ui/Utility.h"
#include "ui/c.h"
#include "ui/n.h"

namespace kit {
namespace {

void expectRect(const gfx::Rect& actual, const gfx::Rect& expected, const std::string& what) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-9) << what;
    EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-9) << what;
    EXPECT_NEAR(actual.size.width, expected.size.width, 1e-9) << what;
    EXPECT_NEAR(actual.size.height, expected.size.height, 1e-9) << what;
}

const char* const kTitles[] = {"恋爱话术", "应用评价", "关于我们"};

class SideMenu : public HeadPictureTest {
protected:
    // Replaces the window with one of another device, as the menu reads its sizes at creation.
    void useDevice(const char* name) {
        ui::Screen::main().setProfile(*ui::DeviceProfile::named(name));
        host.reset();
        window = core::make<ui::Window>();
        host = std::make_unique<ui::HeadlessHost>(window);
        window->makeKeyAndVisible();
        c::resetForTesting();
    }
    std::shared_ptr<QULeftController> showMenu() {
        auto menu = core::make<QULeftController>();
        window->setRootViewController(menu);
        window->layoutIfNeeded();
        return menu;
    }
    static std::shared_ptr<QULeftControllerSegItem> rowOf(const QULeftController& menu, size_t index) {
        return std::dynamic_pointer_cast<QULeftControllerSegItem>(
            menu.controllerSeg()->itemViews().at(index)->viewWithTag(QULeftController::kRowTag));
    }
    static std::vector<gfx::Color> rowColours(const QULeftController& menu) {
        std::vector<gfx::Color> colours;
        for (size_t i = 0; i < menu.controllerSeg()->itemViews().size(); ++i)
            colours.push_back(rowOf(menu, i)->backgroundColor().value_or(gfx::Color::clear()));
        return colours;
    }
};

// The header's height mixes the layout unit with a status-bar part in points, so a device with a
// taller status bar moves the rows down by the difference.
TEST_F(SideMenu, BuildsHeaderPictureButtonAndRowsAtTheirFrames) {
    for (const char* device : {"phone", "phone-notch"}) {
        SCOPED_TRACE(device);
        useDevice(device);
        const double u = c::shortSide() / 1080;
        const double header = 520 * u + Utility::k_status_bar_height() - 20;
        auto menu = showMenu();

        const auto& root = menu->view()->subviews();
        ASSERT_EQ(root.size(), 4u);
        EXPECT_EQ(root[0], menu->headBgView());
        EXPECT_EQ(root[1], menu->headImageView());
        EXPECT_EQ(root[2], menu->controllerSeg());
        EXPECT_EQ(root[3], menu->imageButton()) << "the button lies above the picture and the rows";
        EXPECT_EQ(menu->view()->backgroundColor(), c::colorFFFFFF());

        expectRect(menu->headBgView()->frame(), {0, 0, 720 * u, header}, "header");
        EXPECT_EQ(menu->headBgView()->backgroundColor(), c::colorFAD54D());

        expectRect(menu->headImageView()->frame(), {285 * u, 185 * u, 150 * u, 150 * u}, "picture");
        EXPECT_NEAR(menu->headImageView()->layer()->cornerRadius(), 75 * u, 1e-9);
        EXPECT_TRUE(menu->headImageView()->clipsToBounds());
        EXPECT_EQ(menu->headImageView()->contentMode(), ui::ContentMode::scaleAspectFill);

        expectRect(menu->imageButton()->frame(), {200 * u, 335 * u, 320 * u, 120 * u}, "button");
        EXPECT_EQ(menu->imageButton()->currentTitle(), "编辑头像");
        EXPECT_NEAR(menu->imageButton()->titleLabel()->font().pointSize, 44 * u, 1e-9);
        EXPECT_EQ(menu->imageButton()->titleColorForState(ui::stateNormal), c::colorFFFFFF());

        expectRect(menu->controllerSeg()->frame(), {0, header, 720 * u, 480 * u}, "rows");
        const auto& items = menu->controllerSeg()->itemViews();
        ASSERT_EQ(items.size(), 3u);
        for (size_t i = 0; i < items.size(); ++i) {
            SCOPED_TRACE(kTitles[i]);
            expectRect(items[i]->frame(), {0, 160 * u * static_cast<double>(i), 720 * u, 160 * u}, "row cell");
            auto row = rowOf(*menu, i);
            ASSERT_TRUE(row);
            EXPECT_EQ(row->superview(), items[i]);
            expectRect(row->frame(), items[i]->bounds(), "row view");
            EXPECT_FALSE(row->isUserInteractionEnabled());
            expectRect(row->iconImageView()->frame(), {92 * u, 60 * u, 40 * u, 40 * u}, "icon");
            EXPECT_EQ(row->iconImageView()->image(), gfx::Image::named(kIcons[i]));
            ASSERT_TRUE(row->iconImageView()->image());
            expectRect(row->titleLabel()->frame(), {170 * u, 0, 550 * u, 160 * u}, "title");
            EXPECT_EQ(row->titleLabel()->text(), kTitles[i]);
            EXPECT_NEAR(row->titleLabel()->font().pointSize, 40 * u, 1e-9);
            EXPECT_EQ(row->titleLabel()->textColor(), c::color333333());
        }
    }
}

// Taps anywhere in a row reach the grid's item under the row view, icon and title included.
TEST_F(SideMenu, SelectionFollowsTapsAndOnlyTheSelectedRowIsGrey) {
    auto menu = showMenu();
    const double u = c::shortSide() / 1080;
    const gfx::Color grey = c::colorE5E5E5(), white = c::colorFFFFFF();
    std::vector<std::int64_t> clicked;
    menu->controllerSeg()->didClickItem = [&](std::int64_t index, SegmentItemView&) { clicked.push_back(index); };
    EXPECT_EQ(menu->controllerSeg()->index(), 0);
    EXPECT_EQ(rowColours(*menu), (std::vector<gfx::Color>{grey, white, white}));

    const double top = menu->controllerSeg()->frame().origin.y;
    struct Case {
        const char* where;
        std::int64_t row;
        gfx::Point inRow;
        std::vector<std::int64_t> clicks;
        std::vector<gfx::Color> colours;
    } cases[] = {
        {"title of the about row", 2, {300 * u, 80 * u}, {2}, {white, white, grey}},
        {"the selected row again: nothing", 2, {10 * u, 10 * u}, {}, {white, white, grey}},
        {"icon of the rating row", 1, {112 * u, 80 * u}, {1}, {white, grey, white}},
        {"right end of the home row", 0, {715 * u, 150 * u}, {0}, {grey, white, white}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        clicked.clear();
        host->tap({c.inRow.x, top + 160 * u * static_cast<double>(c.row) + c.inRow.y});
        EXPECT_EQ(clicked, c.clicks);
        EXPECT_EQ(rowColours(*menu), c.colours);
    }

    // The owner moves the highlight back after its rating prompt.
    host->tap({300 * u, top + 160 * u + 80 * u});
    menu->controllerSeg()->setIndex(0);
    EXPECT_EQ(rowColours(*menu), (std::vector<gfx::Color>{grey, white, white}));
}

TEST_F(SideMenu, TheEditButtonRunsTheOwnersAction) {
    auto menu = showMenu();
    int taps = 0;
    menu->imageButton()->setAction([&](ui::Button&) { ++taps; });
    auto frame = menu->imageButton()->frame();
    host->tap({frame.origin.x + frame.size.width / 2, frame.origin.y + frame.size.height / 2});
    EXPECT_EQ(taps, 1);
}

// What the loader shows for each kind of content; the default picture stands only for a head
// picture without content.
TEST_F(SideMenu, TheLoaderFallsBackOnlyWithoutContent) {
    enum class Shows { fallback, decoded, nothing };
    struct Case {
        const char* name;
        std::optional<std::string> content;  // none: no file
        std::int32_t type;
        Shows shows;
        bool fileURL = true;
    } cases[] = {
        {"missing head picture", std::nullopt, 0, Shows::fallback},
        {"missing other picture", std::nullopt, 1, Shows::nothing},
        {"stored head picture", pngOf(6, 4), 0, Shows::decoded},
        {"stored other picture", pngOf(6, 4), 1, Shows::decoded},
        {"undecodable head picture", std::string("not a picture"), 0, Shows::nothing},
        {"empty head file", std::string(), 0, Shows::fallback},
        {"remote address", pngOf(6, 4), 0, Shows::fallback, false},
    };
    const std::string path = network::Api::documentsPath() + "/loader.png";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        (void)core::files::remove(path);
        if (c.content) {
            ASSERT_TRUE(core::files::writeAtomically(path, *c.content).ok());
        }
        auto view = core::make<ui::ImageView>(gfx::Rect{0, 0, 50, 50});
        view->setImage(gfx::Image::named(kIcons[0]));
        const net::URL url = c.fileURL ? net::URL::fileURL(path) : *net::URL::parse("http://127.0.0.1:1/loader.png");
        int calls = 0;
        gfx::ImagePtr given = gfx::Image::named(kIcons[0]);
        ri_load(*view, url, c.type, [&](const gfx::ImagePtr& image) {
            ++calls;
            given = image;
        });
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(given, view->image());
        EXPECT_EQ(view->contentMode(), ui::ContentMode::scaleAspectFill);
        EXPECT_TRUE(view->clipsToBounds());
        switch (c.shows) {
        case Shows::fallback: EXPECT_EQ(view->image(), defaultHead()); ASSERT_TRUE(view->image()); break;
        case Shows::decoded:
            ASSERT_TRUE(view->image());
            EXPECT_EQ(view->image()->pixelWidth(), 6);
            EXPECT_EQ(view->image()->pixelHeight(), 4);
            break;
        case Shows::nothing: EXPECT_FALSE(view->image()); break;
        }
    }
}

TEST_F(SideMenu, ReloadHeadShowsTheNewlyStoredPictureAlsoWhileClosed) {
    // Built but never shown: the menu is closed.
    auto menu = core::make<QULeftController>();
    menu->view();
    EXPECT_EQ(menu->headImageView()->image(), defaultHead()) << "first launch";

    storeHead(pngOf(6, 4));
    core::NotificationCenter::defaultCenter().post(std::string(n::reloadHeadNotification));
    ASSERT_TRUE(menu->headImageView()->image());
    EXPECT_EQ(menu->headImageView()->image()->pixelWidth(), 6);

    storeHead("broken");
    core::NotificationCenter::defaultCenter().post(std::string(n::reloadHeadNotification));
    EXPECT_FALSE(menu->headImageView()->image()) << "an undecodable file leaves the circle empty";

    // A menu that went stops listening.
    std::weak_ptr<QULeftController> weak = menu;
    menu.reset();
    EXPECT_TRUE(weak.expired());
    core::NotificationCenter::defaultCenter().post(std::string(n::reloadHeadNotification));
}

} // namespace
} // namespace kit
