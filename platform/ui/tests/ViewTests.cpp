#include "platform/core/Json.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"
#include "UiTest.h"

#include <array>
#include <bit>
#include <cstdint>
#include <limits>

namespace ui {
namespace {

using ui_View = UiTest;

std::shared_ptr<View> viewAt(gfx::Rect frame) { return core::make<View>(frame); }

TEST_F(ui_View, TheDefaultScreenIsAPhoneAtScaleTwo) {
    EXPECT_EQ(Screen::main().bounds(), gfx::Rect(0, 0, 375, 667));
    EXPECT_EQ(Screen::main().scale(), 2);
    EXPECT_EQ(Screen::main().statusBarHeight(), 20);
    EXPECT_EQ(window->frame(), Screen::main().bounds());
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(Application::shared().keyWindow(), window);
    auto notch = DeviceProfile::named("phone-notch");
    ASSERT_TRUE(notch);
    EXPECT_EQ(notch->pixelSize(), gfx::Size(1125, 2436));
}

TEST_F(ui_View, FrameBoundsCenterAndConversions) {
    auto outer = viewAt({10, 20, 200, 100});
    auto inner = viewAt({5, 5, 50, 40});
    outer->addSubview(inner);
    window->addSubview(outer);
    EXPECT_EQ(inner->center(), gfx::Point(30, 25));
    EXPECT_EQ(inner->convertPoint({0, 0}, nullptr), gfx::Point(15, 25));
    // Scrolling: the bounds origin shifts where the subviews appear.
    outer->setBounds({0, 30, 200, 100});
    EXPECT_EQ(inner->convertPoint({0, 0}, nullptr), gfx::Point(15, -5));
    EXPECT_EQ(outer->frame(), gfx::Rect(10, 20, 200, 100));
    // A transform turns the view about its centre; the frame is the bounding box.
    inner->setTransform(gfx::AffineTransform::scale(2, 2));
    EXPECT_EQ(inner->frame(), gfx::Rect(-20, -15, 100, 80));
    EXPECT_EQ(inner->bounds(), gfx::Rect(0, 0, 50, 40));
    gfx::Point back = window->convertPoint(inner->convertPoint({7, 9}, window.get()), inner.get());
    EXPECT_NEAR(back.x, 7, 1e-9);
    EXPECT_NEAR(back.y, 9, 1e-9);
}

// A conversion turns down at the nearest view both lie in, so what lies above it (even a transform
// that cannot be undone) plays no part; a view converts to itself without any arithmetic.
TEST_F(ui_View, ConversionsTurnAtTheNearestSharedView) {
    auto a = viewAt({10, 20, 200, 200}), b = viewAt({5, 6, 100, 100}), c = viewAt({1, 2, 50, 50}), d = viewAt({30, 40, 50, 50});
    window->addSubview(a);
    a->addSubview(b);
    b->addSubview(c);
    a->addSubview(d);
    auto other = viewAt({0, 0, 100, 100}), inOther = viewAt({7, 8, 10, 10});
    other->addSubview(inOther);
    const gfx::Rect r{0.1, 0.2, 3.3, 4.4};
    struct Case {
        const char* name;
        const View* from;
        const View* to;
        gfx::Point origin;
    } cases[] = {
        {"itself", c.get(), c.get(), r.origin},
        {"to a sibling's subview", c.get(), d.get(), {0.1 + 6 - 30, 0.2 + 8 - 40}},
        {"up to an ancestor", c.get(), a.get(), {0.1 + 6, 0.2 + 8}},
        {"down to a descendant", a.get(), c.get(), {0.1 - 6, 0.2 - 8}},
        {"from another tree, meeting in the roots' space", inOther.get(), c.get(), {0.1 + 7 - 16, 0.2 + 8 - 28}},
    };
    for (bool squashed : {false, true}) {
        // Squashing the shared ancestor leaves conversions below it as they were.
        if (squashed) a->setTransform(gfx::AffineTransform::scale(0, 0));
        for (const auto& k : cases) {
            if (squashed && k.from == inOther.get()) continue;  // that way passes through the squashed view
            SCOPED_TRACE(std::string(k.name) + (squashed ? " (squashed)" : ""));
            gfx::Rect got = k.from->convertRect(r, k.to);
            EXPECT_NEAR(got.x(), k.origin.x, 1e-12);
            EXPECT_NEAR(got.y(), k.origin.y, 1e-12);
            EXPECT_NEAR(got.width(), r.width(), 1e-12);
            gfx::Point p = k.from->convertPoint(r.origin, k.to);
            EXPECT_EQ(p, got.origin);
            EXPECT_EQ(k.to->convertPointFrom(r.origin, k.from), p);
        }
        EXPECT_EQ(c->convertRect(r, c.get()), r);  // bit for bit
    }
}

// Conversions down a tree give what inverting each view's matrix gives, after every change of the
// views on the way and with more views than any remembered inverses (signed zeros and NaN included).
TEST_F(ui_View, ConversionsDownFollowEveryChangeOnTheWay) {
    std::vector<std::shared_ptr<View>> chain;
    std::shared_ptr<View> parent = window;
    for (int i = 0; i < 12; ++i) {
        auto v = viewAt({1.5 * i, 3.25 * i, 300, 300});
        parent->addSubview(v);
        chain.push_back(v);
        parent = v;
    }
    auto bits = [](gfx::Point p) { return std::array<std::uint64_t, 2>{std::bit_cast<std::uint64_t>(p.x), std::bit_cast<std::uint64_t>(p.y)}; };
    auto expected = [&](gfx::Point p, const View& to) {
        std::vector<const View*> down;
        for (const View* v = &to; v->superview(); v = v->superview().get()) down.push_back(v);
        for (auto it = down.rbegin(); it != down.rend(); ++it) p = (*it)->layer()->model().toSuperlayer().inverted().project(p);
        return p;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const gfx::Rect bounds[] = {{0, 40, 300, 300}, {0, -0.0, 300, 300}, {0, 0, 300, 300}, {-7.5, 1e-300, 300, 300}, {0, nan, 300, 300}};
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < chain.size(); ++i) {
            if (round > 0) chain[i]->setBounds(bounds[(i + round) % std::size(bounds)]);
            for (const auto& to : {chain[i], chain.back()}) {
                gfx::Rect r = window->convertRect({2, 3, 0, 0}, to.get());
                EXPECT_EQ(bits(r.origin), bits(expected({2, 3}, *to))) << round << " " << i;
                EXPECT_EQ(bits(window->convertPoint({2, 3}, to.get())), bits(expected({2, 3}, *to))) << round << " " << i;
            }
        }
    }
}

TEST_F(ui_View, HitTestingSkipsHiddenTransparentAndInertViews) {
    struct Case {
        const char* name;
        std::function<void(View& top)> setup;
        bool hitsTop;
    };
    const Case cases[] = {
        {"visible", [](View&) {}, true},
        {"hidden", [](View& v) { v.setHidden(true); }, false},
        {"transparent", [](View& v) { v.setAlpha(0); }, false},
        {"nearly transparent", [](View& v) { v.setAlpha(0.005); }, false},
        {"faint but visible", [](View& v) { v.setAlpha(0.02); }, true},
        {"no interaction", [](View& v) { v.setUserInteractionEnabled(false); }, false},
    };
    for (const Case& c : cases) {
        auto bottom = viewAt({0, 0, 100, 100});
        auto top = viewAt({0, 0, 100, 100});
        window->addSubview(bottom);
        window->addSubview(top);
        c.setup(*top);
        auto hit = window->hitTest({50, 50});
        EXPECT_EQ(hit, c.hitsTop ? top : bottom) << c.name;
        bottom->removeFromSuperview();
        top->removeFromSuperview();
    }
    // A subview outside its superview's bounds cannot be hit there.
    auto parent = viewAt({0, 0, 50, 50});
    auto child = viewAt({60, 0, 20, 20});
    parent->addSubview(child);
    window->addSubview(parent);
    EXPECT_EQ(window->hitTest({65, 5}), window);
    EXPECT_EQ(window->hitTest({400, 5}), nullptr);
}

TEST_F(ui_View, HierarchyTagsAndLayout) {
    struct Counting : View {
        using View::View;
        int layouts = 0;
        void layoutSubviews() override { ++layouts; }
    };
    auto v = core::make<Counting>(gfx::Rect{0, 0, 10, 10});
    auto a = viewAt({}), b = viewAt({});
    b->setTag(7);
    v->addSubview(a);
    a->addSubview(b);
    window->addSubview(v);
    EXPECT_EQ(window->viewWithTag(7), b);
    EXPECT_EQ(b->window(), window);
    a->addSubview(v);  // a view never goes inside its own subtree
    EXPECT_EQ(v->superview(), window);
    window->layoutIfNeeded();
    window->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 1);
    v->setFrame({0, 0, 20, 10});  // a new size asks for layout
    window->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 2);
    v->setCenter({50, 50});  // moving does not
    window->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 2);
    a->removeFromSuperview();
    EXPECT_EQ(b->window(), nullptr);
}

TEST_F(ui_View, TheUncountedSuperviewFollowsTheTreeAndGoesWithTheSuperview) {
    auto child = viewAt({5, 5, 10, 10});
    EXPECT_EQ(child->superviewPointer(), nullptr);
    {
        auto parent = viewAt({10, 20, 50, 50});
        parent->addSubview(child);
        EXPECT_EQ(child->superviewPointer(), parent.get());
        auto other = viewAt({});
        other->addSubview(child);
        EXPECT_EQ(child->superviewPointer(), other.get());
        child->removeFromSuperview();
        EXPECT_EQ(child->superviewPointer(), nullptr);
        parent->addSubview(child);
        window->addSubview(parent);
        EXPECT_EQ(child->window(), window);
        EXPECT_EQ(child->convertRect(child->bounds(), nullptr), (gfx::Rect{15, 25, 10, 10}));
        parent->removeFromSuperview();
    }
    // The superview went while the child lives on: no superview, no window, its own space.
    EXPECT_EQ(child->superviewPointer(), nullptr);
    EXPECT_EQ(child->superview(), nullptr);
    EXPECT_EQ(child->window(), nullptr);
    EXPECT_EQ(child->convertRect(child->bounds(), nullptr), (gfx::Rect{0, 0, 10, 10}));
    EXPECT_EQ(child->tintColor(), View::kDefaultTintColor);

    // The same for the controller whose root view a view is.
    auto controller = core::make<ViewController>();
    auto root = controller->view();
    EXPECT_EQ(root->owningViewControllerPointer(), controller.get());
    controller.reset();
    EXPECT_EQ(root->owningViewControllerPointer(), nullptr);
    // And for a controller's parent.
    auto outer = core::make<ViewController>(), inner = core::make<ViewController>();
    outer->addChildViewController(inner);
    EXPECT_EQ(inner->parentViewControllerPointer(), outer.get());
    inner->removeFromParentViewController();
    EXPECT_EQ(inner->parentViewControllerPointer(), nullptr);
    outer->addChildViewController(inner);
    outer.reset();
    EXPECT_EQ(inner->parentViewControllerPointer(), nullptr);
}

// Records each window change it hears of, as a native view's holder does to place its widget.
class WindowWatcher : public View {
    QUILLORA_CLASS(WindowWatcher)
    using View::View;
    std::vector<bool> heard; // in a window after each notice
    void didMoveToWindow() override { heard.push_back(window() != nullptr); }
};

TEST_F(ui_View, AViewMovedWithinItsWindowHearsThatItLeftAndCameBack) {
    auto first = core::make<View>(gfx::Rect{0, 0, 100, 100});
    auto second = core::make<View>(gfx::Rect{0, 100, 100, 100});
    window->addSubview(first);
    window->addSubview(second);
    auto holder = core::make<View>(gfx::Rect{0, 0, 50, 50});
    auto watcher = core::make<WindowWatcher>(gfx::Rect{0, 0, 10, 10});
    holder->addSubview(watcher);
    first->addSubview(holder);
    EXPECT_EQ(watcher->heard, (std::vector<bool>{true}));

    second->addSubview(holder);                // to another superview of the same window
    EXPECT_EQ(watcher->heard, (std::vector<bool>{true, false, true}));
    second->insertSubview(holder, 0);          // reordered within its superview: no change
    EXPECT_EQ(watcher->heard.size(), 3u);
    holder->removeFromSuperview();
    auto outside = core::make<View>(gfx::Rect{0, 0, 10, 10});
    outside->addSubview(holder);               // from no window to no window: nothing to hear
    EXPECT_EQ(watcher->heard, (std::vector<bool>{true, false, true, false}));
}

struct TintCounter : View {
    using View::View;
    int changes = 0;
    void tintColorDidChange() override { ++changes; }
};

TEST_F(ui_View, TintIsInheritedAndAViewsOwnColourStops) {
    auto outer = viewAt({0, 0, 100, 100});
    auto middle = core::make<TintCounter>(gfx::Rect{0, 0, 50, 50});
    auto inner = core::make<TintCounter>(gfx::Rect{0, 0, 10, 10});
    outer->addSubview(middle);
    middle->addSubview(inner);
    EXPECT_EQ(inner->tintColor(), gfx::Color::rgb(0, 122, 255));
    middle->setTintColor(gfx::Color::black());
    outer->setTintColor(gfx::Color::whiteColor());
    EXPECT_EQ(inner->tintColor(), gfx::Color::black());
    EXPECT_EQ(inner->changes, 1);  // the outer change stops at the middle view's own colour
    middle->setTintColor(std::nullopt);
    EXPECT_EQ(inner->tintColor(), gfx::Color::whiteColor());
    EXPECT_EQ(inner->changes, 2);
}

TEST_F(ui_View, AssociatedValuesLiveWithTheViewUnderTheirKey) {
    static const char keyA = 0, keyB = 0;
    auto view = viewAt({});
    auto value = std::make_shared<int>(5);
    view->setAssociatedObject(&keyA, value);
    EXPECT_EQ(view->associatedObject(&keyA), value);
    EXPECT_EQ(view->associatedObject(&keyB), nullptr);
    view->setAssociatedObject(&keyA, nullptr);
    EXPECT_EQ(view->associatedObject(&keyA), nullptr);
    EXPECT_EQ(value.use_count(), 1);
}

TEST_F(ui_View, DrawingHappensOnlyWhenMarked) {
    struct Painter : View {
        using View::View;
        int draws = 0;
        bool drawsContent() const override { return true; }
        void drawRect(gfx::Context& c, const gfx::Rect& r) override {
            ++draws;
            c.setFillColor(gfx::Color::rgb(255, 0, 0));
            c.fillRect(r);
        }
    };
    auto p = core::make<Painter>(gfx::Rect{0, 0, 10, 10});
    window->addSubview(p);
    auto image = host->snapshot();
    EXPECT_EQ(image->pixel(5, 5), 0xffff0000u);
    host->snapshot();
    EXPECT_EQ(p->draws, 1);
    p->setNeedsDisplay();
    host->snapshot();
    EXPECT_EQ(p->draws, 2);
    ASSERT_TRUE(p->layer()->contents());
    EXPECT_EQ(p->layer()->contents()->scale(), 2);  // the backing image is at the screen's scale
}

TEST_F(ui_View, TreeDumpGivesWindowGeometry) {
    auto box = viewAt({10, 20, 100, 50});
    auto label = core::make<Label>(gfx::Rect{5, 5, 80, 20});
    label->setText("你好 hello");
    box->addSubview(label);
    box->setAlpha(0.5);
    window->addSubview(box);
    core::Value tree = host->dumpTree();
    auto text = core::json::write(tree, core::json::SortedKeys);
    ASSERT_TRUE(text.ok());
    EXPECT_NE(text->find(R"({"alpha":1.0,"class":"Label","frame":[15.0,25.0,80.0,20.0],"hidden":false,"text":"你好 hello"})"),
              std::string::npos)
        << *text;
    EXPECT_NE(text->find(R"("alpha":0.5,"class":"View","frame":[10.0,20.0,100.0,50.0])"), std::string::npos) << *text;
}

TEST_F(ui_View, OpeningLinksGoesThroughTheLauncher) {
    std::vector<std::string> opened;
    Application::shared().setURLLauncherForTesting([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    std::optional<bool> result;
    Application::shared().openURL("https://example.invalid/app", [&](bool ok) { result = ok; });
    EXPECT_FALSE(result);  // the completion comes on a later turn of the main loop
    host->advance(0);
    EXPECT_EQ(result, true);
    EXPECT_EQ(opened, std::vector<std::string>{"https://example.invalid/app"});
    Application::shared().setURLLauncherForTesting(nullptr);
}

} // namespace
} // namespace ui
