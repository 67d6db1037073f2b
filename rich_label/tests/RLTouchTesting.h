#pragma once
// Fixture of the touch and selection tests: a phone window in a headless host on a virtual
// clock, and a short label with two links, the first of which is drawn bold while pressed.

#include "RLLabelTesting.h"

#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"
#include "rich_label/RLMagnifierView.h"
#include "rich_label/RLSelectBackView.h"
#include "rich_label/RLSelectTextRangeView.h"

#include <gtest/gtest.h>

namespace rltest {

class RLTouchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        window = core::make<ui::Window>();
        window->setBackgroundColor(gfx::Color::whiteColor());
        host = std::make_unique<ui::HeadlessHost>(window);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        RLSelectBackView::instance()->hideView();
        host.reset();
    }

    // han(12) with links over {2, 3} (bold while pressed) and {8, 2}; each block logs its name.
    std::shared_ptr<RLLabel> linkLabel(gfx::Rect frame = {20, 100, 300, 40}) {
        text::Attributes blue{{std::string(text::kForegroundColorAttributeName), text::box(gfx::Color::rgb(0, 0, 255))}};
        text::Attributes bold{{std::string(text::kFontAttributeName), text::box(gfx::Font::boldSystemFont(15))}};
        text::Attributes red{{std::string(text::kForegroundColorAttributeName), text::box(gfx::Color::rgb(255, 0, 0))}};
        auto log = [this](std::string name) {
            return [this, name](const std::shared_ptr<RLLabelLinkModel>& m) {
                events.push_back(name);
                models.push_back(m);
            };
        };
        auto first = RLLabel::configureAttributes(blue, true, bold, core::Value("first"), log("click first"),
                                                  log("long first"));
        auto second = RLLabel::configureAttributes(blue, true, red, core::Value("second"), log("click second"),
                                                   log("long second"));
        text::AttributedString s(han(12), answerAttributes());
        s = RLLabel::configureAttrString(s, text::Range{2, 3}, first);
        s = RLLabel::configureAttrString(s, text::Range{8, 2}, second);
        auto label = core::make<RLLabel>(frame);
        label->setNumberOfLines(0);
        label->setAttributedText(s);
        window->addSubview(label);
        host->snapshot();
        return label;
    }

    // A copy-mode label of plain answer text, drawn.
    std::shared_ptr<RLLabel> copyLabel(const std::string& text, gfx::Rect frame = {20, 100, 300, 80},
                                       std::shared_ptr<ui::View> parent = nullptr) {
        auto label = core::make<RLLabel>(frame);
        label->setNumberOfLines(0);
        label->setAttributedText(text::AttributedString(text, answerAttributes()));
        label->setEnableCopy(true);  // with text: the next draw makes the run items
        (parent ? parent : std::static_pointer_cast<ui::View>(window))->addSubview(label);
        host->snapshot();
        return label;
    }

    // The window point at the middle of a label's character.
    gfx::Point charPoint(const RLLabel& label, std::size_t index) {
        for (const auto& item : label.allRunItems())
            if (item->characterRange.location == index) {
                gfx::Rect b = item->withOutMergeBounds;
                return label.convertPoint({b.midX(), b.midY()}, nullptr);
            }
        ADD_FAILURE() << "no run item for character " << index;
        return {};
    }
    gfx::Point linkPoint(const RLLabel& label, std::size_t link) {
        gfx::Rect b = label.linkStrokeItems().at(link)->locBounds;
        return label.convertPoint({b.midX(), b.midY()}, nullptr);
    }

    void doubleTap(gfx::Point p) {
        host->tap(p);
        host->advance(0.1);
        host->tap(p);
        host->snapshot();
    }
    void longPress(gfx::Point p) {
        host->touchDown(p);
        host->advance(0.6);
        host->snapshot();  // a frame: run items asked for by the press are made
        host->touchUp(p);
        host->snapshot();
    }

    static std::shared_ptr<RLSelectBackView> selection() { return RLSelectBackView::instance(); }
    static bool selecting() { return selection()->superview() && !selection()->textRangeView()->isHidden(); }
    static std::pair<std::int64_t, std::int64_t> selected() {
        auto s = selection();
        if (!s->startCopyRunItem() || !s->endCopyRunItem()) return {-1, -1};
        return {s->startCopyRunItem()->characterIndex, s->endCopyRunItem()->characterIndex};
    }

    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::HeadlessHost> host;
    std::vector<std::string> events;
    std::vector<std::shared_ptr<RLLabelLinkModel>> models;
};

} // namespace rltest
