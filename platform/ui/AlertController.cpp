#include "platform/ui/AlertController.h"

#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"

#include <algorithm>

namespace ui {
namespace {

constexpr double kAlertWidth = 270;
constexpr double kAlertButtonHeight = 44;
constexpr double kSheetButtonHeight = 57;
constexpr double kSheetMargin = 8;
constexpr gfx::Color kPanelColor = gfx::Color::white(0.97);
constexpr gfx::Color kLineColor = gfx::Color::white(0.8);
constexpr gfx::Color kButtonColor = gfx::Color::rgb(0, 122, 255);
constexpr gfx::Color kDestructiveColor = gfx::Color::rgb(255, 59, 48);

std::shared_ptr<Label> makeLabel(const std::string& text, const gfx::Font& font, gfx::Color color, double width) {
    auto label = core::make<Label>();
    label->setText(text);
    label->setFont(font);
    label->setTextColor(color);
    label->setTextAlignment(TextAlignment::center);
    label->setNumberOfLines(0);
    gfx::Size s = label->sizeThatFits({width, 0});
    label->setFrame({0, 0, width, text.empty() ? 0 : s.height});
    return label;
}

std::shared_ptr<View> line(gfx::Rect frame) {
    auto v = core::make<View>(frame);
    v->setBackgroundColor(kLineColor);
    return v;
}

} // namespace

AlertController::AlertController(std::string title, std::string message, AlertControllerStyle style)
    : message_(std::move(message)), style_(style) {
    setTitle(std::move(title));
    setModalPresentationStyle(ModalPresentationStyle::overFullScreen);
}

void AlertController::addAction(std::shared_ptr<AlertAction> action) {
    if (action) actions_.push_back(std::move(action));
}

void AlertController::loadView() {
    ViewController::loadView();
    view()->setBackgroundColor(gfx::Color::black().withAlpha(0.4));
}

void AlertController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    build();
}

void AlertController::build() {
    if (panel_) panel_->removeFromSuperview();
    buttons_.clear();
    const auto& root = view();
    gfx::Rect b = root->bounds();
    auto makeButton = [this](const std::shared_ptr<AlertAction>& action, gfx::Rect frame, double size) {
        auto button = core::make<Button>(frame);
        button->setTitle(action->title());
        button->setTitleColor(action->style() == AlertActionStyle::destructive ? kDestructiveColor : kButtonColor);
        button->titleLabel()->setFont(action->style() == AlertActionStyle::cancel ? gfx::Font::boldSystemFont(size)
                                                                                   : gfx::Font::systemFont(size));
        std::weak_ptr<AlertController> weak = std::static_pointer_cast<AlertController>(shared_from_this());
        button->addTarget(std::weak_ptr<void>{}, [weak, action](Control&) {
            if (auto self = weak.lock()) self->choose(action);
        }, touchUpInside);
        buttons_.push_back(button);
        return button;
    };
    double hairline = 1 / Screen::main().scale();

    if (style_ == AlertControllerStyle::alert) {
        panel_ = core::make<View>();
        panel_->setBackgroundColor(kPanelColor);
        panel_->layer()->setCornerRadius(13);
        panel_->setClipsToBounds(true);
        double y = 20;
        for (auto label : {makeLabel(title(), gfx::Font::boldSystemFont(17), gfx::Color::black(), kAlertWidth - 32),
                           makeLabel(message_, gfx::Font::systemFont(13), gfx::Color::black(), kAlertWidth - 32)}) {
            if (label->frame().height() == 0) continue;
            label->setFrame({16, y, kAlertWidth - 32, label->frame().height()});
            panel_->addSubview(label);
            y += label->frame().height() + 4;
        }
        y += 16;
        if (actions_.size() == 2) {
            // Two buttons side by side, a cancel button on the left.
            auto ordered = actions_;
            if (ordered[1]->style() == AlertActionStyle::cancel) std::swap(ordered[0], ordered[1]);
            panel_->addSubview(line({0, y, kAlertWidth, hairline}));
            panel_->addSubview(makeButton(ordered[0], {0, y, kAlertWidth / 2, kAlertButtonHeight}, 17));
            panel_->addSubview(makeButton(ordered[1], {kAlertWidth / 2, y, kAlertWidth / 2, kAlertButtonHeight}, 17));
            panel_->addSubview(line({kAlertWidth / 2, y, hairline, kAlertButtonHeight}));
            y += kAlertButtonHeight;
        } else {
            auto ordered = actions_;
            std::stable_partition(ordered.begin(), ordered.end(), [](const auto& a) { return a->style() != AlertActionStyle::cancel; });
            for (const auto& action : ordered) {
                panel_->addSubview(line({0, y, kAlertWidth, hairline}));
                panel_->addSubview(makeButton(action, {0, y, kAlertWidth, kAlertButtonHeight}, 17));
                y += kAlertButtonHeight;
            }
        }
        panel_->setFrame({(b.width() - kAlertWidth) / 2, (b.height() - y) / 2, kAlertWidth, y});
        root->addSubview(panel_);
        return;
    }

    // An action sheet: a group of the texts and buttons, and the cancel button apart below it.
    double width = b.width() - 2 * kSheetMargin;
    panel_ = core::make<View>();
    auto group = core::make<View>();
    group->setBackgroundColor(kPanelColor);
    group->layer()->setCornerRadius(13);
    group->setClipsToBounds(true);
    double y = 0;
    bool texts = !title().empty() || !message_.empty();
    if (texts) {
        y = 14;
        for (auto label : {makeLabel(title(), gfx::Font::boldSystemFont(13), gfx::Color::white(0.56), width - 32),
                           makeLabel(message_, gfx::Font::systemFont(13), gfx::Color::white(0.56), width - 32)}) {
            if (label->frame().height() == 0) continue;
            label->setFrame({16, y, width - 32, label->frame().height()});
            group->addSubview(label);
            y += label->frame().height() + 2;
        }
        y += 12;
    }
    std::shared_ptr<AlertAction> cancel;
    for (const auto& action : actions_) {
        if (action->style() == AlertActionStyle::cancel && !cancel) {
            cancel = action;
            continue;
        }
        if (y > 0) group->addSubview(line({0, y, width, hairline}));
        group->addSubview(makeButton(action, {0, y, width, kSheetButtonHeight}, 20));
        y += kSheetButtonHeight;
    }
    group->setFrame({0, 0, width, y});
    panel_->addSubview(group);
    double total = y;
    if (cancel) {
        auto button = makeButton(cancel, {0, y + kSheetMargin, width, kSheetButtonHeight}, 20);
        button->setBackgroundColor(gfx::Color::whiteColor());
        button->layer()->setCornerRadius(13);
        panel_->addSubview(button);
        total = y + kSheetMargin + kSheetButtonHeight;
    }
    double bottom = std::max(kSheetMargin, Screen::main().profile().safeAreaInsets.bottom);
    panel_->setFrame({kSheetMargin, b.height() - bottom - total, width, total});
    root->addSubview(panel_);
}

void AlertController::choose(const std::shared_ptr<AlertAction>& action) {
    if (chosen_) return;
    chosen_ = true;
    auto keep = std::static_pointer_cast<AlertController>(shared_from_this());
    dismissViewControllerAnimated(false, [keep, action] {
        if (action->handler()) action->handler()(*action);
    });
}

} // namespace ui
