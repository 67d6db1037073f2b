#include "platform/gfx/Font.h"
#include "platform/ui/tests/UiTest.h"
#include "ui/LabelVertical.h"
#include "ui/ViewGeometry.h"

#include <cmath>
#include <functional>

namespace kit {
namespace {

TEST(ViewGeometry, EachSetterChangesOnePartOfTheFrame) {
    struct Case {
        const char* name;
        std::function<void(ui::View&)> set;
        gfx::Rect frame;
    };
    const Case cases[] = {
        {"x", [](ui::View& v) { setX(v, 5); }, {5, 20, 30, 40}},
        {"y", [](ui::View& v) { setY(v, 5); }, {10, 5, 30, 40}},
        {"width", [](ui::View& v) { setWidth(v, 50); }, {10, 20, 50, 40}},
        {"height", [](ui::View& v) { setHeight(v, 50); }, {10, 20, 30, 50}},
        {"centerX", [](ui::View& v) { setCenterX(v, 100); }, {85, 20, 30, 40}},
        {"centerY", [](ui::View& v) { setCenterY(v, 100); }, {10, 80, 30, 40}},
        {"size", [](ui::View& v) { setSize(v, {1, 2}); }, {10, 20, 1, 2}},
        {"origin", [](ui::View& v) { setOrigin(v, {-1, -2}); }, {-1, -2, 30, 40}},
    };
    for (const auto& k : cases) {
        auto v = core::make<ui::View>(gfx::Rect{10, 20, 30, 40});
        k.set(*v);
        EXPECT_EQ(v->frame(), k.frame) << k.name;
    }
    auto v = core::make<ui::View>(gfx::Rect{10, 20, 30, 40});
    EXPECT_EQ(x(*v), 10);
    EXPECT_EQ(y(*v), 20);
    EXPECT_EQ(width(*v), 30);
    EXPECT_EQ(height(*v), 40);
    EXPECT_EQ(centerX(*v), 25);
    EXPECT_EQ(centerY(*v), 40);
    EXPECT_EQ(size(*v), (gfx::Size{30, 40}));
    EXPECT_EQ(origin(*v), (gfx::Point{10, 20}));
}

class LabelVertical : public ui::UiTest {
protected:
    std::shared_ptr<ui::Label> label(std::string text, gfx::Rect frame, int lines = 1) {
        auto l = core::make<ui::Label>(frame);
        l->setText(std::move(text));
        l->setFont(gfx::Font::systemFont(17));
        l->setNumberOfLines(lines);
        return l;
    }
    const double line = gfx::Font::systemFont(17).lineHeight();
};

TEST_F(LabelVertical, TopAlignmentsGrowWithTheirMarginsOrKeepTheLimit) {
    auto a = label("One line", {0, 0, 200, 100});
    alignTop(*a);
    EXPECT_NEAR(a->frame().height(), line + 20, 0.5);

    auto b = label("One line", {0, 0, 200, 7});
    EXPECT_EQ(alignTopMin(*b, 200), 200);
    EXPECT_EQ(b->frame().height(), 7) << "a minimum above the need leaves the label alone";
    EXPECT_NEAR(alignTopMin(*b, 10), line + 20, 0.5);
    EXPECT_NEAR(b->frame().height(), line + 20, 0.5);

    auto c = label("One line", {0, 0, 200, 7});
    EXPECT_EQ(alignTopMax(*c, line - 1), line - 1);
    EXPECT_EQ(c->frame().height(), 7) << "a maximum below the need leaves the label alone";
    EXPECT_NEAR(alignTopMax(*c, 100), line + 5, 0.5);

    auto d = label("One line", {0, 0, 200, 7});
    EXPECT_EQ(alignTopMaxAtt(*d, line - 1), line - 1);
    EXPECT_EQ(d->frame().height(), line - 1) << "the attributed form clamps instead";

    // Two lines of wrapped text at a narrow width.
    auto e = label("wrapped text that needs two lines", {0, 0, 150, 400});
    EXPECT_NEAR(alignTopMin(*e, 0), 2 * line + 20, 1);
}

TEST_F(LabelVertical, LeftAlignmentsHugTheTextWidth) {
    auto a = label("Hug", {0, 0, 300, 30});
    double w = alignLeft(*a);
    EXPECT_GT(w, 10);
    EXPECT_LT(w, 60);
    EXPECT_EQ(a->frame().width(), w);
    auto b = label("Hug", {0, 0, 300, 30});
    EXPECT_EQ(alignLeft(*b, 12), 12);
    EXPECT_EQ(b->frame().width(), 12);
    auto d = label("Hug", {0, 0, 300, 30});
    EXPECT_EQ(alignLeft(*d, 1000), w);
    auto c = label("Hug", {0, 0, 300, 30});
    EXPECT_EQ(alignLeftMin(*c, 100), 100);
    EXPECT_EQ(alignLeftMin(*c, 1), w);
}

TEST_F(LabelVertical, BottomAlignmentPushesShortTextsDownByWholeLines) {
    struct Case {
        const char* text;
        int lines;
        const char* result;
    };
    const Case cases[] = {
        {"Short", 3, " \n \nShort"},
        {"Short", 1, "Short"},
        {"Short", 0, "Short"},  // no line limit: the box is empty
        {"", 3, ""},
        {"Enough words to wrap over three lines of this label", 3,
         "Enough words to wrap over three lines of this label"},
    };
    for (const auto& k : cases) {
        auto l = label(k.text, {0, 0, 120, 300}, k.lines);
        alignBottom(*l);
        EXPECT_EQ(l->text(), k.result) << k.text << " in " << k.lines;
    }
}

} // namespace
} // namespace kit
