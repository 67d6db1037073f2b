#include "keyboard/KBBarButtonItem.h"

#include "platform/core/ProcessInfo.h"

#include <mutex>

namespace keyboard {
namespace {

// The title item's container: its button fills it.
class TitleView : public ui::View {
public:
    using ui::View::View;
    void layoutSubviews() override {
        for (auto& sub : subviews()) sub->setFrame(bounds());
    }
    gfx::Size sizeThatFits(gfx::Size size) const override {
        return subviews().empty() ? gfx::Size{} : subviews().front()->sizeThatFits(size);
    }
};

} // namespace

bool systemVersionAtLeast(int major, int minor) { return core::ProcessInfo::isOperatingSystemAtLeast({major, minor}); }

void KBInvocation::invokeFrom(core::Object* sender) const {
    auto target = target_.lock();
    if (target && action_) action_(target.get(), sender);
}

ui::BarButtonItemAppearance& KBBarButtonItem::appearance() {
    static auto* shared = new ui::BarButtonItemAppearance;
    return *shared;
}

void KBBarButtonItem::resetBarButtonAppearance() {
    auto& proxy = appearance();
    constexpr unsigned kApplication = 0xFF0000u, kReserved = 0xFF000000u;
    for (unsigned state : {unsigned(ui::stateNormal), unsigned(ui::stateHighlighted), unsigned(ui::stateDisabled),
                           unsigned(ui::stateSelected), kApplication, kReserved}) {
        proxy.setBackgroundImage(nullptr, state, ui::BarMetrics::default_);
        proxy.setBackgroundImage(nullptr, state, ui::BarButtonItemStyle::done, ui::BarMetrics::default_);
        proxy.setBackgroundImage(nullptr, state, ui::BarButtonItemStyle::plain, ui::BarMetrics::default_);
        proxy.setBackButtonBackgroundImage(nullptr, state, ui::BarMetrics::default_);
    }
    proxy.setTitlePositionAdjustment({0, 0}, ui::BarMetrics::default_);
    proxy.setBackgroundVerticalPositionAdjustment(0, ui::BarMetrics::default_);
    proxy.setBackButtonBackgroundVerticalPositionAdjustment(0, ui::BarMetrics::default_);
}

void KBBarButtonItem::init() {
    isSystemItem_ = false;
    invocation_.reset();
    static std::once_flag reset;
    std::call_once(reset, resetBarButtonAppearance);
    ui::BarButtonItem::init();
    appearance().applyTo(*this);
}

void KBBarButtonItem::setTarget(const std::shared_ptr<void>& target, ui::Selector action) {
    if (target && action) setInvocation(std::make_shared<KBInvocation>(target, std::move(action)));
    else setInvocation(nullptr);
}

void KBBarButtonItem::setTintColor(std::optional<gfx::Color> color) {
    ui::BarButtonItem::setTintColor(color);
    const auto& current = titleTextAttributes(ui::stateNormal);
    bool screensColour = current.foregroundColor && current.foregroundColor != tintTitleColor_;
    if (screensColour) return;
    tintTitleColor_ = color;
    // The title already has this colour (a colour is only there when attributes were set): nothing changes.
    if (color && current.foregroundColor == color) return;
    auto attributes = current;
    attributes.foregroundColor = color;
    setTitleTextAttributes(std::move(attributes), ui::stateNormal);
}

// ---- Title item

KBTitleBarButtonItem::~KBTitleBarButtonItem() {
    if (titleButton_) titleButton_->removeTarget(nullptr, ui::touchUpInside);
}

void KBTitleBarButtonItem::initWithTitle(std::optional<std::string> title) {
    initWithImage(nullptr, ui::BarButtonItemStyle::plain, {}, {});
    titleView_ = core::make<TitleView>();
    titleView_->setBackgroundColor(gfx::Color::clear());
    titleButton_ = core::make<ui::Button>();
    titleButton_->setEnabled(false);
    titleButton_->titleLabel()->setNumberOfLines(3);
    titleButton_->setTitleColor(kLightGray, ui::stateDisabled);
    titleButton_->setTitleColor(kSelectableColor, ui::stateNormal);
    titleButton_->setBackgroundColor(gfx::Color::clear());
    titleButton_->titleLabel()->setTextAlignment(ui::TextAlignment::center);
    titleButton_->setTitle(title, ui::stateNormal);
    titleFont_ = gfx::Font::systemFont(kTitleFontSize);
    titleButton_->titleLabel()->setFont(*titleFont_);
    titleView_->addSubview(titleButton_);
    if (systemVersionAtLeast(11)) {
        for (ui::View* v : {titleView_.get(), static_cast<ui::View*>(titleButton_.get())}) {
            v->setContentHuggingPriority(249, ui::LayoutAxis::vertical);
            v->setContentHuggingPriority(249, ui::LayoutAxis::horizontal);
            v->setContentCompressionResistancePriority(749, ui::LayoutAxis::vertical);
            v->setContentCompressionResistancePriority(749, ui::LayoutAxis::horizontal);
        }
    } else {
        titleView_->setAutoresizingMask(ui::autoresizingFlexibleWidth | ui::autoresizingFlexibleHeight);
        titleButton_->setAutoresizingMask(ui::autoresizingFlexibleWidth | ui::autoresizingFlexibleHeight);
    }
    setCustomView(titleView_);
}

void KBTitleBarButtonItem::setTitleFont(std::optional<gfx::Font> font) {
    titleFont_ = std::move(font);
    if (titleButton_) titleButton_->titleLabel()->setFont(titleFont_.value_or(gfx::Font::systemFont(kTitleFontSize)));
}

void KBTitleBarButtonItem::setTitle(std::optional<std::string> title) {
    KBBarButtonItem::setTitle(std::move(title));
    if (titleButton_ && titleButton_->titleForState(ui::stateNormal) != this->title()) titleButton_->setTitle(this->title(), ui::stateNormal);
}

void KBTitleBarButtonItem::setTitleColor(std::optional<gfx::Color> color) {
    titleColor_ = color;
    if (titleButton_) titleButton_->setTitleColor(color.value_or(kLightGray), ui::stateDisabled);
}

void KBTitleBarButtonItem::setSelectableTitleColor(std::optional<gfx::Color> color) {
    selectableTitleColor_ = color;
    if (titleButton_) titleButton_->setTitleColor(color.value_or(kSelectableColor), ui::stateNormal);
}

void KBTitleBarButtonItem::setInvocation(std::shared_ptr<KBInvocation> invocation) {
    KBBarButtonItem::setInvocation(invocation);
    auto target = invocation ? invocation->target() : nullptr;
    if (target) {
        setEnabled(true);
        if (titleButton_) {
            titleButton_->setEnabled(true);
            std::weak_ptr<void> weak = target;
            auto action = invocation->action();
            titleButton_->addTarget(weak, [weak, action](ui::Control& sender) {
                if (auto t = weak.lock(); t && action) action(t.get(), &sender);
            }, ui::touchUpInside);
        }
    } else {
        setEnabled(false);
        if (titleButton_) {
            titleButton_->setEnabled(false);
            titleButton_->removeTarget(nullptr, ui::touchUpInside);
        }
    }
}

} // namespace keyboard
