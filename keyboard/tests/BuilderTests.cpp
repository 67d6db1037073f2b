#include "keyboard/KBTextView.h"
#include "keyboard/KBToolbarBuilder.h"
#include "keyboard/KBViewOptions.h"
#include "platform/core/Files.h"
#include "platform/core/ProcessInfo.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TextField.h"
#include "UiTest.h"

namespace keyboard {
namespace builder_test {

struct Page : core::Object {
    void act(core::Object*) {}
};

class BuilderTest : public ui::UiTest {
protected:
    void SetUp() override {
        ui::UiTest::SetUp();
        core::Bundle::setResourcePathForTesting(std::string(QUILLORA_RESOURCES_DIR));
    }
    void TearDown() override {
        core::ProcessInfo::setOperatingSystemVersionForTesting({12, 0});
        setImageLoaderForTesting(nullptr);
        core::Bundle::setResourcePathForTesting(std::nullopt);
        ui::UiTest::TearDown();
    }
    // The bar's items by role: "prev", "fixed", "next", "flex", "title", "done", or "item".
    static std::vector<std::string> roles(KBToolbar& bar) {
        std::vector<std::string> out;
        for (auto& item : bar.items()) {
            auto s = item->systemItem();
            if (item == bar.titleBarButton()) out.push_back("title");
            else if (s == ui::BarButtonSystemItem::flexibleSpace) out.push_back("flex");
            else if (s == ui::BarButtonSystemItem::fixedSpace) out.push_back("fixed");
            else if (s == ui::BarButtonSystemItem::done) out.push_back("done");
            else if (s == ui::BarButtonSystemItem::cancel) out.push_back("cancel");
            else if (item->image()) out.push_back("image");
            else if (item->title()) out.push_back("text:" + *item->title());
            else out.push_back("item");
        }
        return out;
    }
    std::shared_ptr<Page> page = core::make<Page>();
    ui::Selector act = ui::selector(&Page::act);
    gfx::ImagePtr picture = std::make_shared<gfx::Image>(2, 2, 1, std::vector<uint32_t>(4, 0xff000000));
};

TEST_F(BuilderTest, TheUsualButtonSetsPutTheirItemsInOrder) {
    using Roles = std::vector<std::string>;
    struct Case {
        const char* name;
        std::function<void(ui::View&)> build;
        Roles expected;
    } cases[] = {
        {"done", [&](ui::View& v) { addDoneOnKeyboardWithTarget(v, page, act, "T"); }, Roles{"flex", "title", "flex", "done"}},
        {"right image", [&](ui::View& v) { addRightButtonOnKeyboardWithImage(v, picture, page, act, "T"); }, Roles{"flex", "title", "flex", "image"}},
        {"right text", [&](ui::View& v) { addRightButtonOnKeyboardWithText(v, "Send", page, act, "T"); }, Roles{"flex", "title", "flex", "text:Send"}},
        {"cancel done", [&](ui::View& v) { addCancelDoneOnKeyboardWithTarget(v, page, act, act, "T"); },
         Roles{"cancel", "flex", "title", "flex", "done"}},
        {"right left titles", [&](ui::View& v) { addRightLeftOnKeyboardWithTarget(v, page, std::string("L"), std::string("R"), act, act, "T"); },
         Roles{"text:L", "flex", "title", "flex", "text:R"}},
        {"right left images", [&](ui::View& v) { addRightLeftOnKeyboardWithTarget(v, page, picture, picture, act, act, "T"); },
         Roles{"image", "flex", "title", "flex", "image"}},
        {"previous next done", [&](ui::View& v) { addPreviousNextDoneOnKeyboardWithTarget(v, page, act, act, act, "T"); },
         Roles{"image", "fixed", "image", "flex", "title", "flex", "done"}},
        {"previous next right image", [&](ui::View& v) { addPreviousNextRightOnKeyboardWithTarget(v, page, picture, act, act, act, "T"); },
         Roles{"image", "fixed", "image", "flex", "title", "flex", "image"}},
        {"previous next right title", [&](ui::View& v) { addPreviousNextRightOnKeyboardWithTarget(v, page, std::string("Go"), act, act, act, "T"); },
         Roles{"image", "fixed", "image", "flex", "title", "flex", "text:Go"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto field = core::make<ui::TextField>();
        c.build(*field);
        auto bar = keyboardToolbar(*field);
        EXPECT_EQ(field->inputAccessoryView(), bar);
        EXPECT_EQ(roles(*bar), c.expected);
        EXPECT_EQ(bar->titleBarButton()->title(), "T");
        EXPECT_EQ(bar->items()[bar->items().size() - 2], bar->items()[bar->items().size() - 4]);  // one flexible space twice
    }
}

TEST_F(BuilderTest, PlaceholderFormsTitleWithThePlaceholderOrNothing) {
    auto field = core::make<ui::TextField>();
    field->setPlaceholder("Nickname");
    addDoneOnKeyboardWithTarget(*field, page, act, true);
    EXPECT_EQ(keyboardToolbar(*field)->titleBarButton()->title(), "Nickname");
    addDoneOnKeyboardWithTarget(*field, page, act, false);
    EXPECT_FALSE(keyboardToolbar(*field)->titleBarButton()->title());
}

TEST_F(BuilderTest, RoleItemsAreRetitledUnlessASystemItemIsInvolved) {
    auto field = core::make<ui::TextField>();
    auto bar = keyboardToolbar(*field);
    auto done = bar->doneBarButton();
    auto invocation = std::make_shared<KBInvocation>(page, act);
    done->setInvocation(invocation);
    addRightButtonOnKeyboardWithText(*field, "Send", page, act, std::nullopt);
    EXPECT_EQ(bar->doneBarButton(), done);  // retitled in place, still style done
    EXPECT_EQ(done->title(), "Send");
    EXPECT_EQ(done->style(), ui::BarButtonItemStyle::done);
    EXPECT_EQ(done->target(), page);
    addDoneOnKeyboardWithTarget(*field, page, act, std::nullopt);  // a system item replaces it
    auto system = bar->doneBarButton();
    EXPECT_NE(system, done);
    EXPECT_TRUE(system->isSystemItem());
    EXPECT_EQ(system->invocation(), invocation);
    EXPECT_EQ(system->accessibilityLabel(), "Toolbar Done Button");
    addRightButtonOnKeyboardWithText(*field, "Again", page, act, std::nullopt);  // never retitled
    EXPECT_NE(bar->doneBarButton(), system);
    EXPECT_EQ(bar->doneBarButton()->style(), ui::BarButtonItemStyle::plain);
    EXPECT_EQ(bar->doneBarButton()->invocation(), invocation);
}

TEST_F(BuilderTest, OnlyFieldsAndTextViewsGetTheBarAsAccessory) {
    auto field = core::make<ui::TextField>();
    field->setKeyboardAppearance(ui::KeyboardAppearance::dark);
    addDoneOnKeyboardWithTarget(*field, page, act, std::nullopt);
    EXPECT_EQ(field->inputAccessoryView(), keyboardToolbar(*field));
    EXPECT_EQ(keyboardToolbar(*field)->barStyle(), ui::BarStyle::black);

    auto textView = core::make<KBTextView>();
    addDoneOnKeyboardWithTarget(*textView, page, act, std::nullopt);
    EXPECT_EQ(textView->inputAccessoryView(), keyboardToolbar(*textView));
    EXPECT_EQ(keyboardToolbar(*textView)->barStyle(), ui::BarStyle::default_);

    auto search = core::make<ui::SearchBar>();
    addDoneOnKeyboardWithTarget(*search, page, act, std::nullopt);
    EXPECT_FALSE(search->inputAccessoryView());
    EXPECT_EQ(keyboardToolbar(*search)->items().size(), 4u);

    auto plain = core::make<ui::View>();
    addDoneOnKeyboardWithTarget(*plain, page, act, std::nullopt);
    EXPECT_TRUE(keyboardToolbar(*plain)->items().empty());
}

TEST_F(BuilderTest, TheDrawnPlaceholderFallsThroughItsSources) {
    struct Case {
        const char* name;
        const char* kind;  // "field", "textView", "search", "view"
        bool hide;
        std::optional<std::string> explicitText;
        std::optional<std::string> expected;
    } cases[] = {
        {"field's own", "field", false, std::nullopt, "Own"},
        {"explicit wins", "field", false, "Mine", "Mine"},
        {"empty explicit falls through", "field", false, "", "Own"},
        {"hidden beats explicit", "field", true, "Mine", std::nullopt},
        {"text view's own", "textView", false, std::nullopt, "Own"},
        {"search bar has none", "search", false, std::nullopt, std::nullopt},
        {"plain view has none", "view", false, std::nullopt, std::nullopt},
        {"plain view with explicit", "view", false, "Mine", "Mine"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::shared_ptr<ui::View> v;
        std::string kind = c.kind;
        if (kind == "field") {
            auto f = core::make<ui::TextField>();
            f->setPlaceholder("Own");
            v = f;
        } else if (kind == "textView") {
            auto t = core::make<KBTextView>();
            t->setPlaceholder("Own");
            v = t;
        } else if (kind == "search") {
            auto s = core::make<ui::SearchBar>();
            s->setPlaceholder("Own");
            v = s;
        } else {
            v = core::make<ui::View>();
        }
        if (c.explicitText) setToolbarPlaceholder(*v, c.explicitText);
        setShouldHideToolbarPlaceholder(*v, c.hide);
        EXPECT_EQ(drawingToolbarPlaceholder(*v), c.expected);
        // The setters retitle the view's bar at once.
        EXPECT_EQ(keyboardToolbar(*v)->titleBarButton()->title(), c.expected);
    }
}

TEST_F(BuilderTest, ArrowImagesComeFromTheirBundleAndAMissIsTriedAgain) {
    std::vector<std::string> asked;
    gfx::ImagePtr answer;
    setImageLoaderForTesting([&](const std::string& name, const std::string& bundle) {
        asked.push_back(name + "@" + bundle);
        return answer;
    });
    // A miss: the slot stays empty and the next call asks again; the set's arrow is an empty image.
    EXPECT_FALSE(keyboardPreviousImage());
    EXPECT_FALSE(keyboardPreviousImage());
    EXPECT_EQ(asked.size(), 2u);
    auto field = core::make<ui::TextField>();
    addPreviousNextDoneOnKeyboardWithTarget(*field, page, act, act, act, std::nullopt);
    ASSERT_TRUE(keyboardToolbar(*field)->previousBarButton()->image());
    EXPECT_EQ(keyboardToolbar(*field)->previousBarButton()->image()->pixelWidth(), 0);
    // A hit is kept, marked to mirror right to left and to draw in the bar's tint.
    answer = picture;
    asked.clear();
    auto up = keyboardPreviousImage();
    ASSERT_TRUE(up);
    EXPECT_TRUE(up->flipsForRightToLeftLayoutDirection());
    EXPECT_EQ(up->renderingMode(), gfx::ImageRenderingMode::alwaysTemplate);
    EXPECT_EQ(keyboardPreviousImage(), up);
    EXPECT_EQ(asked.size(), 1u);
    // The bundle beside the program is used when it is there, else the program's own resources.
    bool bundled = core::files::exists(core::Bundle::resourcePath() + "/KBKeyboardManager.bundle");
    EXPECT_EQ(asked[0], std::string("KBButtonBarArrowUp@") + (bundled ? "KBKeyboardManager" : ""));
    // Before system 10 the left and right arrows serve.
    core::ProcessInfo::setOperatingSystemVersionForTesting({9, 3});
    keyboardNextImage();
    EXPECT_EQ(asked.back().substr(0, asked.back().find('@')), "KBButtonBarArrowRight");
}

TEST_F(BuilderTest, TheShippedBundleHasAllFourArrows) {
    for (const char* name : {"KBButtonBarArrowUp", "KBButtonBarArrowDown", "KBButtonBarArrowLeft", "KBButtonBarArrowRight"})
        EXPECT_TRUE(gfx::Image::named(name, "KBKeyboardManager")) << name;
}

TEST_F(BuilderTest, PerViewOptionsDefaultAndStoreUnchecked) {
    auto scroll = core::make<ui::ScrollView>();
    auto controller = core::make<ui::ViewController>();
    EXPECT_FALSE(shouldIgnoreScrollingAdjustment(*scroll));
    EXPECT_FALSE(shouldRestoreScrollViewContentOffset(*scroll));
    EXPECT_EQ(keyboardDistanceFromTextField(*scroll), 1.7976931348623157e308);
    EXPECT_FALSE(ignoreSwitchingByNextPrevious(*scroll));
    EXPECT_EQ(shouldResignOnTouchOutsideMode(*scroll), KBEnableMode::useManagerSetting);
    EXPECT_FALSE(KBLayoutGuideConstraint(*controller));
    setKeyboardDistanceFromTextField(*scroll, -5);
    EXPECT_EQ(keyboardDistanceFromTextField(*scroll), -5);
    setShouldResignOnTouchOutsideMode(*scroll, KBEnableMode::alwaysDisabled);
    EXPECT_EQ(shouldResignOnTouchOutsideMode(*scroll), KBEnableMode::alwaysDisabled);
    setShouldIgnoreScrollingAdjustment(*scroll, true);
    EXPECT_TRUE(shouldIgnoreScrollingAdjustment(*scroll));
    // Options stay on their own view.
    auto child = core::make<ui::View>();
    scroll->addSubview(child);
    EXPECT_EQ(keyboardDistanceFromTextField(*child), keyboardDistanceUseDefault);
}

TEST_F(BuilderTest, AViewKeepsOneToolbarUnlessItsAccessoryIsOne) {
    auto field = core::make<ui::TextField>();
    auto kept = keyboardToolbar(*field);
    EXPECT_EQ(keyboardToolbar(*field), kept);
    auto other = core::make<KBToolbar>();
    field->setInputAccessoryView(other);
    EXPECT_EQ(keyboardToolbar(*field), other);
    field->setInputAccessoryView(core::make<ui::Toolbar>());  // not a KBToolbar: the kept one again
    EXPECT_EQ(keyboardToolbar(*field), kept);
}

TEST_F(BuilderTest, TheBarHoldsNoReferenceBackToItsPage) {
    std::weak_ptr<Page> weak;
    auto field = core::make<ui::TextField>();
    {
        auto owner = core::make<Page>();
        weak = owner;
        addPreviousNextDoneOnKeyboardWithTarget(*field, owner, act, act, act, std::nullopt);
        keyboardToolbar(*field)->doneBarButton()->setInvocation(std::make_shared<KBInvocation>(owner, act));
    }
    EXPECT_TRUE(weak.expired());
}

} // namespace builder_test
} // namespace keyboard
