// Saving a crop: the 600 x 600 PNG is written, "reloadHead" is posted, the crop page pops and the
// side menu and the view page show the new picture; a folder blocked by a file, a failing write
// and a crop that does not encode keep the old picture, post nothing and keep the page; a
// second save replaces the first.
#include "Modules/Common/tests/HeadPictureTest.h"
#include "Modules/Head/MWTPersonalHeadController.h"
#include "platform/core/Log.h"
#include "platform/ui/NavigationController.h"
#include "ui/n.h"

#include <filesystem>

namespace kit {
namespace {

// A crop page whose encoding yields nothing.
class UnencodablePage : public MWTPersonalHeadController {
    QUILLORA_CLASS(UnencodablePage)
    using MWTPersonalHeadController::MWTPersonalHeadController;

protected:
    std::optional<std::string> encodeHead(const gfx::Image&) override { return std::nullopt; }
};

class HeadSave : public HeadPictureTest {
protected:
    void SetUp() override {
        HeadPictureTest::SetUp();
        menu = core::make<QULeftController>();
        menu->view();  // it listens for "reloadHead" once loaded
        nav = core::make<ui::NavigationController>(core::make<MWRootController>());
        window->setRootViewController(nav);
        viewPage = core::make<MWTPersonalHeadController>(0, defaultHead());
        nav->pushViewController(viewPage, false);
        run(0.1);
        posts = 0;
        observation = core::NotificationCenter::defaultCenter().addObserver(
            std::string(n::reloadHeadNotification), [this](const core::Notification&) { ++posts; });
    }
    template <class Page = MWTPersonalHeadController>
    std::shared_ptr<MWTPersonalHeadController> pushCrop(uint32_t colour) {
        auto crop = core::make<Page>(1, defaultHead());
        crop->edit()->setEditImage(std::make_shared<const gfx::Image>(40, 30, 1.0, std::vector<uint32_t>(1200, colour)));
        nav->pushViewController(crop, false);
        run(0.1);
        return crop;
    }
    void tapSave(const std::shared_ptr<MWTPersonalHeadController>& crop) {
        const auto r = crop->rightBarButton()->convertRect(crop->rightBarButton()->bounds(), nullptr);
        host->tap({r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2});
        run(1);
    }
    static std::string stored() {
        auto bytes = core::files::read(QULeftController::headImagePath());
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }
    static uint32_t centreOf(const gfx::ImagePtr& image) {
        return image ? image->pixel(image->pixelWidth() / 2, image->pixelHeight() / 2) : 0;
    }

    std::shared_ptr<QULeftController> menu;
    std::shared_ptr<ui::NavigationController> nav;
    std::shared_ptr<MWTPersonalHeadController> viewPage;
    int posts = 0;
    core::NotificationCenter::Token observation;
};

TEST_F(HeadSave, ASaveStoresTheCropAndEveryCircleShowsIt) {
    auto crop = pushCrop(0xFF1060C0);
    tapSave(crop);
    auto saved = gfx::Image::fromFile(QULeftController::headImagePath());
    ASSERT_TRUE(saved);
    EXPECT_EQ((*saved)->pixelWidth(), 600);
    EXPECT_EQ((*saved)->pixelHeight(), 600);
    EXPECT_EQ(centreOf(*saved), 0xFF1060C0u);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(nav->topViewController(), viewPage) << "back to the view page";
    EXPECT_EQ(centreOf(viewPage->edit()->imageView()->image()), 0xFF1060C0u);
    EXPECT_EQ(viewPage->edit()->imageView()->image()->pixelWidth(), 600);
    EXPECT_EQ(centreOf(menu->headImageView()->image()), 0xFF1060C0u);

    // A second save replaces the file.
    tapSave(pushCrop(0xFFC03010));
    EXPECT_EQ(centreOf(*gfx::Image::fromFile(QULeftController::headImagePath())), 0xFFC03010u);
    EXPECT_EQ(posts, 2);
    EXPECT_EQ(centreOf(menu->headImageView()->image()), 0xFFC03010u);
}

TEST_F(HeadSave, AFailedSaveKeepsTheOldPictureAndThePage) {
    const std::string folder = std::filesystem::path(QULeftController::headImagePath()).parent_path().string();
    struct Case {
        const char* what;
        std::function<void()> arrange;
        bool unencodable;
    } cases[] = {
        {"a file where the folder goes", [&] {
             std::filesystem::remove_all(folder);
             ASSERT_TRUE(core::files::writeAtomically(folder, std::string("in the way")).ok());
         }, false},
        {"the write fails", [] { core::files::failWriteForTesting(1); }, false},
        {"the crop does not encode", [] {}, true},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(folder);
        storeHead(pngOf(6, 6));
        const std::string old = stored();
        c.arrange();
        auto crop = c.unencodable ? pushCrop<UnencodablePage>(0xFF1060C0) : pushCrop(0xFF1060C0);
        core::LogCapture log;
        tapSave(crop);
        core::files::failWriteForTesting(0);
        EXPECT_EQ(log.lines().size(), 1u) << c.what;
        EXPECT_EQ(posts, 0) << c.what;
        EXPECT_EQ(nav->topViewController(), crop) << c.what << ": the page stays";
        if (std::filesystem::is_directory(folder)) {
            EXPECT_EQ(stored(), old) << c.what << ": the old picture stays";
        }
        nav->popViewControllerAnimated(false);
        run(0.1);
        std::filesystem::remove_all(folder);
    }
}

TEST_F(HeadSave, CropModesBackDiscardsTheCrop) {
    storeHead(pngOf(6, 6));
    const std::string old = stored();
    auto crop = pushCrop(0xFF1060C0);
    crop->backBtn()->sendActionsForControlEvents(ui::touchUpInside);
    run(1);
    EXPECT_EQ(nav->topViewController(), viewPage);
    EXPECT_EQ(stored(), old);
    EXPECT_EQ(posts, 0);
}

} // namespace
} // namespace kit
