// Loading pictures into image views and buttons: placeholders, one load per slot, progress, the
// transition rule, animation images, button URLs and the spinner.

#include "image_cache/RIButtonWebCache.h"
#include "image_cache/RIImageViewWebCache.h"

#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

namespace image_cache {
namespace web_cache_view_test {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

std::string png(uint32_t pixel) { return *gfx::Image(2, 2, 1, std::vector<uint32_t>(4, pixel), false).pngData(); }

uint32_t firstPixel(const ImagePtr& image) { return image ? image->pixels().front() : 0; }

// Pictures named by their path: "/<hex colour>.png"; "/missing" is a 404; "/stall/..." waits to be released.
Reply pictureFor(const RecordedRequest& r) {
    Reply reply;
    std::string name = r.target.substr(r.target.rfind('/') + 1);
    if (name == "missing") {
        reply.status = 404;
        return reply;
    }
    if (r.target.starts_with("/stall/")) reply.mode = Reply::Mode::stallBeforeHead;
    reply.body = png(static_cast<uint32_t>(std::stoul(name.substr(0, name.find('.')), nullptr, 16)));
    return reply;
}

struct ViewReport {
    ImagePtr image;
    std::optional<core::Error> error;
    RIImageCacheKind kind = RIImageCacheKind::none;
    int calls = 0;
};

class image_cache_WebCacheView : public ::testing::Test {
protected:
    // The views load through the shared manager, whose disk cache takes its folder from the home of
    // its first use: one home serves the whole suite, and goes only after the last queued write.
    static void SetUpTestSuite() { home = std::make_unique<core::testkit::TempHome>(); }
    static void TearDownTestSuite() {
        EXPECT_TRUE(RIImageManager::sharedManager()->imageCache()->waitForQueuedFileWork(10));
        home.reset();
    }
    void SetUp() override { dispatch::RunLoop::setMainThread(); }
    static inline std::unique_ptr<core::testkit::TempHome> home;
    LoopbackServer server{pictureFor};
    std::shared_ptr<ui::ImageView> view = core::make<ui::ImageView>(gfx::Rect{0, 0, 40, 30});
    ImagePtr placeholder = std::make_shared<gfx::Image>(1, 1, 1, std::vector<uint32_t>{0xff0000ffu}, false);

    std::optional<net::URL> url(const std::string& path) { return net::URL::parse(server.url(path)); }
    RIExternalCompletionBlock into(ViewReport& r) {
        return [&r](ImagePtr image, std::optional<core::Error> error, RIImageCacheKind kind, std::optional<net::URL>) {
            r.image = image;
            r.error = error;
            r.kind = kind;
            ++r.calls;
        };
    }
    bool waitFor(const std::function<bool()>& predicate) { return dispatch::RunLoop::main().runUntil(predicate, 20); }
};

TEST_F(image_cache_WebCacheView, PlaceholdersAndNilURLs) {
    // A nil URL shows the placeholder and reports the nil-URL error; nothing is kept running.
    ViewReport nil;
    ri_setImageWithURL(*view, std::nullopt, placeholder, into(nil));
    EXPECT_EQ(view->image(), placeholder);
    ASSERT_EQ(nil.calls, 1);
    EXPECT_EQ(nil.error->domain, "RIImageErrorDomain");
    EXPECT_EQ(nil.error->code, -1);
    EXPECT_EQ(nil.error->description, "Trying to load a nil url");
    EXPECT_FALSE(ri_imageURL(*view));
    EXPECT_FALSE(ri_imageLoadOperation(*view, "ImageView"));

    // A nil placeholder clears the view.
    ri_setImageWithURL(*view, std::nullopt);
    EXPECT_FALSE(view->image());

    struct Case {
        const char* path;
        std::uint64_t options;
        bool placeholderAtStart;
        uint32_t endPixel;  // 0: no image at the end
    };
    const Case cases[] = {
        {"/ff00ff00.png", 0, true, 0xff00ff00u},
        {"/missing", 0, true, 0xff0000ffu},                                    // a failure keeps the placeholder
        {"/missing", RIImageDelayPlaceholder | RIImageRetryFailed, false, 0xff0000ffu},  // set only once it fails
        {"/ff0000aa.png", RIImageAvoidAutoSetImage, true, 0xff0000ffu},       // loaded but left to the caller
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        view->setImage(nullptr);
        ViewReport r;
        ri_setImageWithURL(*view, url(c.path), placeholder, c.options, into(r));
        EXPECT_EQ(view->image() == placeholder, c.placeholderAtStart);
        EXPECT_EQ(ri_imageURL(*view)->absoluteString(), server.url(c.path));
        ASSERT_TRUE(waitFor([&] { return r.calls > 0; }));
        EXPECT_EQ(r.calls, 1);
        EXPECT_EQ(firstPixel(view->image()), c.endPixel);
        if (c.options & RIImageAvoidAutoSetImage) {
            EXPECT_EQ(firstPixel(r.image), 0xff0000aau);
        }
    }
}

TEST_F(image_cache_WebCacheView, ASecondLoadCancelsTheFirstSilently) {
    ViewReport first, second;
    ri_setImageWithURL(*view, url("/stall/ff111111.png"), nullptr, 0, into(first));
    EXPECT_TRUE(ri_imageLoadOperation(*view, "ImageView"));
    ri_setImageWithURL(*view, url("/ff222222.png"), nullptr, 0, into(second));
    ASSERT_TRUE(waitFor([&] { return second.calls > 0; }));
    server.releaseStalls();
    dispatch::RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(first.calls, 0);
    EXPECT_EQ(firstPixel(view->image()), 0xff222222u);
    EXPECT_EQ(ri_imageProgress(*view)->completedUnitCount(), ri_imageProgress(*view)->totalUnitCount());
    // Loaded without a progress report (from memory), the progress reads one of one.
    ViewReport cached;
    ri_setImageWithURL(*view, url("/ff222222.png"), nullptr, 0, into(cached));
    ASSERT_EQ(cached.kind, RIImageCacheKind::memory);
    EXPECT_EQ(ri_imageProgress(*view)->totalUnitCount(), 1);
    EXPECT_EQ(ri_imageProgress(*view)->completedUnitCount(), 1);
}

TEST_F(image_cache_WebCacheView, TheTransitionRunsForFreshDownloadsOrWhenForced) {
    auto transition = RIImageTransition::fadeTransition();
    EXPECT_EQ(transition->duration, 0.5);
    EXPECT_EQ(transition->animationOptions, 0x500000u);
    int prepared = 0;
    std::vector<bool> completions;
    transition->prepares = [&](ui::View&, ImagePtr, Data, RIImageCacheKind, std::optional<net::URL>) { ++prepared; };
    transition->completion = [&](bool finished) { completions.push_back(finished); };
    setRi_imageTransition(*view, transition);

    struct Case {
        std::uint64_t options;
        RIImageCacheKind kind;
        bool transition;
    };
    const Case cases[] = {{0, RIImageCacheKind::none, true}, {0, RIImageCacheKind::memory, false},
                          {RIImageForceTransition, RIImageCacheKind::memory, true}};
    for (const auto& c : cases) {
        prepared = 0;
        completions.clear();
        ViewReport r;
        ri_setImageWithURL(*view, url("/ff333333.png"), nullptr, c.options, into(r));
        ASSERT_TRUE(waitFor([&] { return r.calls > 0; }));
        EXPECT_EQ(r.kind, c.kind);
        if (c.transition) {
            ASSERT_TRUE(waitFor([&] { return !completions.empty(); }));
        }
        EXPECT_EQ(prepared, c.transition ? 1 : 0);
        EXPECT_EQ(firstPixel(view->image()), 0xff333333u);
    }
    // The transition's own hook can take over showing the picture.
    transition->avoidAutoSetImage = true;
    ImagePtr shown;
    transition->animations = [&](ui::View&, ImagePtr image) { shown = image; };
    completions.clear();
    view->setImage(nullptr);
    ri_setImageWithURL(*view, url("/ff333333.png"), nullptr, RIImageForceTransition);
    ASSERT_TRUE(waitFor([&] { return !completions.empty(); }));
    EXPECT_FALSE(view->image());
    EXPECT_EQ(firstPixel(shown), 0xff333333u);
}

TEST_F(image_cache_WebCacheView, AnimationImagesFillTheirPlacesAsTheyArrive) {
    // The third is in memory and comes first: it stands in for the two still on their way.
    auto third = url("/ff000003.png");
    RIImageManager::sharedManager()->saveImageToCache(std::make_shared<gfx::Image>(1, 1, 1, std::vector<uint32_t>{0xff000003u}, false),
                                                      third);
    ri_setAnimationImagesWithURLs(*view, {url("/stall/ff000001.png"), url("/stall/ff000002.png"), third});
    ASSERT_TRUE(waitFor([&] { return view->animationImages().size() == 3; }));
    for (const auto& image : view->animationImages()) EXPECT_EQ(firstPixel(image), 0xff000003u);
    EXPECT_TRUE(view->isAnimating());
    server.releaseStalls();
    ASSERT_TRUE(waitFor([&] { return firstPixel(view->animationImages()[0]) == 0xff000001u && firstPixel(view->animationImages()[1]) == 0xff000002u; }));
    EXPECT_EQ(view->animationImages().size(), 3u);
    view->stopAnimating();
    ri_cancelCurrentAnimationImagesLoad(*view);
}

TEST_F(image_cache_WebCacheView, ButtonsLoadPerStateAndRememberTheirURLs) {
    auto button = core::make<ui::Button>(gfx::Rect{0, 0, 60, 30});
    ViewReport image, background;
    ri_setImageWithURL(*button, url("/ff444444.png"), ui::stateNormal, into(image));
    ri_setBackgroundImageWithURL(*button, url("/ff555555.png"), ui::stateHighlighted, into(background));
    ASSERT_TRUE(waitFor([&] { return image.calls && background.calls; }));
    EXPECT_EQ(firstPixel(button->imageForState(ui::stateNormal)), 0xff444444u);
    EXPECT_EQ(firstPixel(button->backgroundImageForState(ui::stateHighlighted)), 0xff555555u);
    EXPECT_EQ(ri_imageURLForState(*button, ui::stateNormal)->absoluteString(), server.url("/ff444444.png"));
    button->setHighlighted(true);
    // No image URL for the highlighted state: the normal state's stands in.
    EXPECT_EQ(ri_currentImageURL(*button)->absoluteString(), server.url("/ff444444.png"));
    EXPECT_EQ(ri_currentBackgroundImageURL(*button)->absoluteString(), server.url("/ff555555.png"));
    button->setHighlighted(false);
    EXPECT_FALSE(ri_currentBackgroundImageURL(*button));
    ri_setImageWithURL(*button, std::nullopt, ui::stateNormal);
    EXPECT_FALSE(ri_imageURLForState(*button, ui::stateNormal));

    // Cancelling a state's load keeps its answer from coming.
    ViewReport stalled;
    ri_setImageWithURL(*button, url("/stall/ff666666.png"), ui::stateSelected, into(stalled));
    ri_cancelImageLoadForState(*button, ui::stateSelected);
    server.releaseStalls();
    dispatch::RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(stalled.calls, 0);
}

TEST_F(image_cache_WebCacheView, TheSpinnerSitsInTheMiddleWhileLoading) {
    ri_setShowActivityIndicatorView(*view, true);
    ri_setIndicatorStyle(*view, static_cast<int>(ui::ActivityIndicatorViewStyle::gray));
    ViewReport r;
    ri_setImageWithURL(*view, url("/stall/ff777777.png"), nullptr, 0, into(r));
    auto& state = ri_webCacheState(*view);
    ASSERT_TRUE(state.activityIndicator);
    EXPECT_EQ(state.activityIndicator->superview(), view);
    EXPECT_TRUE(state.activityIndicator->isAnimating());
    EXPECT_EQ(state.activityIndicator->activityIndicatorViewStyle(), ui::ActivityIndicatorViewStyle::gray);
    EXPECT_EQ(state.activityIndicator->center(), (gfx::Point{20, 15}));
    view->setFrame({0, 0, 80, 60});
    EXPECT_EQ(state.activityIndicator->center(), (gfx::Point{40, 30}));
    server.releaseStalls();
    ASSERT_TRUE(waitFor([&] { return r.calls > 0; }));
    EXPECT_FALSE(state.activityIndicator);
    EXPECT_TRUE(view->subviews().empty());
}

TEST_F(image_cache_WebCacheView, HighlightedImagesLoadInTheirOwnSlot) {
    ViewReport normal, highlighted;
    ri_setImageWithURL(*view, url("/ff888888.png"), into(normal));
    ri_setHighlightedImageWithURL(*view, url("/ff999999.png"), into(highlighted));
    ASSERT_TRUE(waitFor([&] { return normal.calls && highlighted.calls; }));
    EXPECT_EQ(firstPixel(view->image()), 0xff888888u);
    EXPECT_EQ(firstPixel(view->highlightedImage()), 0xff999999u);
}

} // namespace web_cache_view_test
} // namespace image_cache
