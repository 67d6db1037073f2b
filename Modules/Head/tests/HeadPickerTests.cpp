// Choosing a new picture over a scripted picker source: the "操作" sheet (and its pad alert), the
// toasts of unavailable sources, a picked photo pushing a crop page only after the picker has
// gone, files decoded off the main thread, a file that does not decode, cancelling, and which
// mode lets the picture move.
#include "Modules/Common/tests/HeadPictureTest.h"
#include "Modules/Head/MWTPersonalHeadController.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/NavigationController.h"
#include "ui/HUDToastIndicator.h"

namespace kit {
namespace {

using Source = ui::ImagePickerControllerSourceType;

class ScriptedSource : public ui::ImagePickerSource {
public:
    bool available = true;
    int begun = 0, ended = 0;
    std::weak_ptr<ui::ImagePickerController> picker;
    bool isAvailable() override { return available; }
    void begin(const std::shared_ptr<ui::ImagePickerController>& p) override {
        picker = p;
        ++begun;
    }
    void end(ui::ImagePickerController&) override { ++ended; }
};

class HeadPicker : public HeadPictureTest {
protected:
    void SetUp() override {
        HeadPictureTest::SetUp();
        for (auto type : {Source::camera, Source::photoLibrary}) {
            sources[type] = std::make_shared<ScriptedSource>();
            ui::ImagePickerController::setSource(type, sources[type]);
        }
        HUDToastIndicator::sharedInstance()->dismissToast();
        nav = core::make<ui::NavigationController>(core::make<MWRootController>());
        window->setRootViewController(nav);
        page = core::make<MWTPersonalHeadController>(0, defaultHead());
        nav->pushViewController(page, false);
        run(0.1);
    }
    void TearDown() override {
        for (auto type : {Source::camera, Source::photoLibrary}) ui::ImagePickerController::setSource(type, nullptr);
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        HeadPictureTest::TearDown();
    }
    void tapView(const std::shared_ptr<ui::View>& v) {
        const auto r = v->convertRect(v->bounds(), nullptr);
        host->tap({r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2});
    }
    std::shared_ptr<ui::AlertController> openSheet() {
        tapView(page->rightBarButton());
        run(0.5);
        return std::dynamic_pointer_cast<ui::AlertController>(page->presentedViewController());
    }
    // Opens the sheet and chooses the action at `index`.
    void choose(long index) {
        auto sheet = openSheet();
        ASSERT_TRUE(sheet);
        for (const auto& button : sheet->buttons())
            if (button->currentTitle() == sheet->actions()[index]->title()) tapView(button);
        run(0.5);
    }
    std::shared_ptr<ui::ImagePickerController> picker() {
        return std::dynamic_pointer_cast<ui::ImagePickerController>(page->presentedViewController());
    }
    // A toast shown before the step under test: still there afterwards, nothing new was shown.
    static constexpr const char* kNoToast = "-";
    static std::string toast() { return HUDToastIndicator::sharedInstance()->toastMessage().value_or(""); }
    std::shared_ptr<MWTPersonalHeadController> cropPage() {
        return std::dynamic_pointer_cast<MWTPersonalHeadController>(nav->topViewController());
    }
    static gfx::ImagePtr photo(int w, int h) {
        return std::make_shared<const gfx::Image>(w, h, 1.0, std::vector<uint32_t>(size_t(w) * h, 0xFF208040u));
    }

    std::map<Source, std::shared_ptr<ScriptedSource>> sources;
    std::shared_ptr<ui::NavigationController> nav;
    std::shared_ptr<MWTPersonalHeadController> page;
};

TEST_F(HeadPicker, TheSheetOffersCameraAlbumAndCancel) {
    auto sheet = openSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "操作");
    EXPECT_EQ(sheet->message(), "请点击以下按钮");
    EXPECT_EQ(sheet->preferredStyle(), ui::AlertControllerStyle::actionSheet);
    std::vector<std::string> titles;
    for (const auto& a : sheet->actions()) titles.push_back(a->title());
    EXPECT_EQ(titles, (std::vector<std::string>{"拍照", "从手机相册选择", "取消"}));
}

TEST_F(HeadPicker, EachSourceOpensItsPickerOrToastsWhenUnavailable) {
    struct Case {
        long index;
        Source type;
        bool available;
        std::string toast;
    } cases[] = {{0, Source::camera, true, kNoToast},
                 {1, Source::photoLibrary, true, kNoToast},
                 {0, Source::camera, false, "请开启相机权限"},
                 {1, Source::photoLibrary, false, "请开启相册权限"},
                 {2, Source::camera, true, kNoToast}};  // "取消" does nothing
    for (const auto& c : cases) {
        HUDToastIndicator::showToastMessage(std::string(kNoToast));
        sources[c.type]->available = c.available;
        choose(c.index);
        const bool opens = c.available && c.index != 2;
        auto p = picker();
        EXPECT_EQ(p != nullptr, opens) << c.index;
        EXPECT_EQ(toast(), c.toast) << c.index;
        if (p) {
            EXPECT_EQ(p->sourceType(), c.type);
            EXPECT_FALSE(p->allowsEditing());
            EXPECT_EQ(sources[c.type]->begun, 1) << "the source starts once the picker shows";
            p->deliverCancel();
            run(0.5);
            EXPECT_FALSE(page->presentedViewController()) << "cancel dismisses";
            EXPECT_EQ(sources[c.type]->ended, 1);
            sources[c.type]->begun = sources[c.type]->ended = 0;
        }
        EXPECT_EQ(nav->viewControllers().size(), 2u);
        sources[c.type]->available = true;
    }
}

TEST_F(HeadPicker, APadShowsTheSheetAsAnAlertWithTheSameIndexes) {
    ui::Screen::main().setProfile(*ui::DeviceProfile::named("pad"));
    auto sheet = openSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->preferredStyle(), ui::AlertControllerStyle::alert);
    EXPECT_EQ(sheet->actions().size(), 3u);
    for (const auto& button : sheet->buttons())
        if (button->currentTitle() == "从手机相册选择") tapView(button);
    run(0.5);
    ASSERT_TRUE(picker());
    EXPECT_EQ(picker()->sourceType(), Source::photoLibrary);
}

TEST_F(HeadPicker, APickedPhotoPushesACropPageAfterThePickerHasGone) {
    choose(1);
    auto p = picker();
    ASSERT_TRUE(p);
    auto shot = photo(400, 300);
    p->deliverImage(shot);
    EXPECT_EQ(nav->viewControllers().size(), 2u) << "not before the dismissal completes";
    run(1);
    EXPECT_FALSE(page->presentedViewController());
    ASSERT_EQ(nav->viewControllers().size(), 3u);
    auto crop = cropPage();
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->_type, 1);
    EXPECT_EQ(crop->edit()->imageView()->image(), shot);
    EXPECT_TRUE(crop->edit()->scrollView()->isUserInteractionEnabled());
    EXPECT_EQ(crop->rightBarButton()->currentTitle(), "确定");
    EXPECT_FALSE(crop->rightBarButton()->isHidden());
}

TEST_F(HeadPicker, AChosenFileIsDecodedAndCropped) {
    const std::string file = network::Api::documentsPath() + "/../picked.png";
    ASSERT_TRUE(core::files::writeAtomically(file, pngOf(30, 20)).ok());
    choose(1);
    ASSERT_TRUE(picker());
    picker()->deliverFile(file);
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return !page->presentedViewController(); }));
    run(1);
    ASSERT_EQ(nav->viewControllers().size(), 3u);
    EXPECT_EQ(cropPage()->edit()->imageView()->image()->pixelWidth(), 30);
}

// A JPEG as a phone stores a portrait photo: pixels landscape, EXIF orientation 6 (turn clockwise).
std::string sidewaysJpeg() {
    std::vector<uint32_t> pixels(40 * 20, 0xFFFFFFFFu);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) pixels[y * 40 + x] = 0xFFFF0000u;  // the stored top-left corner
    auto jpeg = gfx::Image(40, 20, 1, std::move(pixels)).jpegData(1.0);
    const std::string tiff = std::string("MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26);
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    const size_t length = body.size() + 2;
    const std::string app1 = std::string("\xFF\xE1") + static_cast<char>(length >> 8) + static_cast<char>(length & 0xff) + body;
    return jpeg->substr(0, 2) + app1 + jpeg->substr(2);
}

TEST_F(HeadPicker, APickedJpegIsTurnedUpright) {
    const std::string file = network::Api::documentsPath() + "/../portrait.jpg";
    ASSERT_TRUE(core::files::writeAtomically(file, sidewaysJpeg()).ok());
    choose(1);
    ASSERT_TRUE(picker());
    picker()->deliverFile(file);
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return !page->presentedViewController(); }));
    run(1);
    ASSERT_EQ(nav->viewControllers().size(), 3u);
    auto upright = cropPage()->edit()->imageView()->image();
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->pixelWidth(), 20);
    EXPECT_EQ(upright->pixelHeight(), 40);
    const auto red = [](uint32_t p) { return ((p >> 16) & 0xff) > 200 && ((p >> 8) & 0xff) < 60 && (p & 0xff) < 60; };
    EXPECT_TRUE(red(upright->pixel(15, 4))) << "the marked corner is now top right";
    EXPECT_FALSE(red(upright->pixel(4, 4)));
    EXPECT_FALSE(red(upright->pixel(4, 35)));
}

TEST_F(HeadPicker, NoImageToastsAndStaysOnTheViewPage) {
    HUDToastIndicator::showToastMessage(std::string(kNoToast));
    const std::string file = network::Api::documentsPath() + "/../not-a-picture.png";
    ASSERT_TRUE(core::files::writeAtomically(file, std::string("no picture here")).ok());
    choose(1);
    ASSERT_TRUE(picker());
    picker()->deliverFile(file);
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return toast() != kNoToast; }));
    EXPECT_EQ(toast(), "打开失败");
    run(1);
    EXPECT_FALSE(page->presentedViewController()) << "the chooser has closed: back on the page, not reopened";
    EXPECT_EQ(sources[Source::photoLibrary]->begun, 1);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    // The camera's capture page stays open for another try.
    choose(0);
    ASSERT_TRUE(picker());
    picker()->deliverImage(nullptr);
    run(1);
    EXPECT_TRUE(picker());
    EXPECT_EQ(nav->viewControllers().size(), 2u);
}

TEST_F(HeadPicker, OnlyTheCropModeLetsThePictureMoveAndZoom) {
    auto crop = core::make<MWTPersonalHeadController>(1, defaultHead());
    crop->edit()->setEditImage(photo(400, 300));
    for (auto target : {page, crop}) {
        if (target == crop) {
            nav->pushViewController(crop, false);
            run(0.1);
        } else {
            target->edit()->setEditImage(photo(400, 300));
        }
        auto inner = target->edit()->scrollView();
        const auto before = inner->contentOffset();
        const auto r = inner->convertRect(inner->bounds(), nullptr);
        const gfx::Point centre{r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2};
        host->drag(centre, {centre.x + 40, centre.y}, 8);
        run(1);
        host->touchDown({centre.x - 20, centre.y}, 1);
        host->touchDown({centre.x + 20, centre.y}, 2);
        for (int i = 1; i <= 10; ++i) {
            host->touchMove({centre.x - 20 - 2 * i, centre.y}, 1);
            host->touchMove({centre.x + 20 + 2 * i, centre.y}, 2);
        }
        host->touchUp({centre.x - 40, centre.y}, 1);
        host->touchUp({centre.x + 40, centre.y}, 2);
        run(1);
        if (target == page) {
            EXPECT_EQ(inner->contentOffset(), before) << "view mode";
            EXPECT_EQ(inner->zoomScale(), 1) << "view mode";
        } else {
            EXPECT_NE(inner->contentOffset(), before) << "crop mode";
            EXPECT_NEAR(inner->zoomScale(), 2, 1e-9) << "crop mode";
        }
    }
}

} // namespace
} // namespace kit
