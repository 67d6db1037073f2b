// The tag grid's icon mode with remote icons served from loopback: normal icons load as the icon
// view's image and selected icons as its highlighted image, each once and in its own slot.

#include "image_cache/RIImageViewWebCache.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/ui/tests/UiTest.h"
#include "ui/SegmentView.h"

#include <map>

namespace kit {
namespace {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

// A 40-point icon at scale 2: a disc (normal) or a rounded square (selected) in `colour`.
std::string iconPNG(gfx::Color colour, bool selected) {
    gfx::BitmapContext context({40, 40}, 2);
    context.setFillColor(colour);
    context.fillPath(selected ? gfx::Path::roundedRect({4, 4, 32, 32}, 8) : gfx::Path::ellipse({4, 4, 32, 32}));
    return *context.makeImage()->pngData();
}

Reply iconReply(const RecordedRequest& r) {
    static const std::map<std::string, std::pair<gfx::Color, bool>> icons = {
        {"/news.png", {gfx::Color::rgb(52, 120, 246), false}}, {"/news@sel.png", {gfx::Color::rgb(20, 60, 160), true}},
        {"/sport.png", {gfx::Color::rgb(76, 175, 80), false}}, {"/sport@sel.png", {gfx::Color::rgb(27, 94, 32), true}},
        {"/local@sel.png", {gfx::Color::rgb(230, 81, 0), true}}, {"/gone.png", {gfx::Color::rgb(120, 120, 120), false}}};
    Reply reply;
    auto it = icons.find(r.target);
    if (it == icons.end()) {
        reply.status = 404;
        return reply;
    }
    reply.body = iconPNG(it->second.first, it->second.second);
    reply.headers.emplace_back("Content-Type", "image/png");
    return reply;
}

class SegmentIconTest : public ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        dispatch::RunLoop::setMainThread();
        SegmentView::clearIds();
    }
    core::testkit::TempHome home;
    LoopbackServer server{iconReply};

    std::shared_ptr<SegmentViewItemModel> model(const char* title, std::optional<std::string> normal, std::optional<std::string> selected) {
        auto m = std::make_shared<SegmentViewItemModel>();
        m->title = title;
        m->imageUrl = normal ? std::optional(server.url(*normal)) : std::nullopt;
        m->hightlightUrl = selected ? std::optional(server.url(*selected)) : std::nullopt;
        return m;
    }
    std::size_t requestsFor(const std::string& path) {
        std::size_t n = 0;
        for (const auto& r : server.requests()) n += r.target == path;
        return n;
    }
};

TEST_F(SegmentIconTest, RemoteIconsLoadNormalAndSelectedIntoTheirOwnSlots) {
    auto grid = core::make<SegmentView>(gfx::Rect{10, 100, 300, 90}, gfx::Size{40, 40}, gfx::Point{0, -12});
    window->addSubview(grid);
    // A local normal icon with a remote selected one, and a selected icon that fails to load.
    core::Bundle::setResourcePathForTesting(QUILLORA_RESOURCES_DIR);
    auto local = model("Local", std::nullopt, "/local@sel.png");
    local->imageString = "shared_icon_boy.png";
    grid->setItems({model("News", "/news.png", "/news@sel.png"), model("Sport", "/sport.png", "/sport@sel.png"), local,
                    model("Gone", "/gone.png", "/gone@sel.png")});
    core::Bundle::setResourcePathForTesting(std::nullopt);
    const auto& items = grid->itemViews();
    ASSERT_EQ(items.size(), 4u);
    auto localIcon = items[2]->iconImageView()->image();
    ASSERT_TRUE(localIcon);

    auto loaded = [&] {
        return items[0]->iconImageView()->image() && items[0]->highlightedIconImage() && items[1]->iconImageView()->image() &&
               items[1]->highlightedIconImage() && items[2]->highlightedIconImage() && items[3]->iconImageView()->image() &&
               requestsFor("/gone@sel.png") == 1 && !image_cache::RIImageManager::sharedManager()->isRunning();
    };
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil(loaded, 20));
    // Each normal icon is fetched once, whatever the selected load does.
    for (const char* path : {"/news.png", "/sport.png", "/gone.png", "/news@sel.png", "/local@sel.png"}) EXPECT_EQ(requestsFor(path), 1u) << path;
    // The local normal icon stays; the remote selected icon is the highlighted image.
    EXPECT_EQ(items[2]->iconImageView()->image(), localIcon);
    EXPECT_EQ(items[2]->highlightedIconImage()->pixelWidth(), 80);
    // A failed selected icon leaves no highlighted image and keeps the normal one.
    EXPECT_FALSE(items[3]->highlightedIconImage());
    EXPECT_TRUE(items[3]->iconImageView()->image());

    // Selecting shows the selected icon through the icon view's highlighted state.
    grid->setIndex(1);
    EXPECT_TRUE(items[1]->iconImageView()->isHighlighted());
    EXPECT_FALSE(items[0]->iconImageView()->isHighlighted());
    items[3]->removeFromSuperview();
    items[2]->removeFromSuperview();
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/segment_remote_icons.png"));
}

} // namespace
} // namespace kit
