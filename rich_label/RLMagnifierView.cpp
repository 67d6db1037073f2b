#include "rich_label/RLMagnifierView.h"

#include "platform/ca/MediaTime.h"
#include "platform/ca/Renderer.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

#include <cmath>
#include <numbers>

void RLContentLayer::init() {
    ca::Layer::init();
    setDelegate(std::static_pointer_cast<RLContentLayer>(shared_from_this()));
}

void RLContentLayer::drawInContext(gfx::Context& context) {
    auto window = ui::Application::shared().keyWindow();
    if (!window) return;
    gfx::Rect b = bounds();
    context.translate(b.width() / 2, b.height() / 2);
    context.scale(kScale, kScale);
    context.translate(-pointToMagnify_.x, -pointToMagnify_.y);
    if (auto excluded = excluded_.lock())
        ca::Renderer::render(*window->layer(), context, ca::currentMediaTime(), *excluded, ca::Renderer::Pass::below);
    else
        ca::Renderer::render(*window->layer(), context, ca::currentMediaTime());
}

void RLContentLayer::displayLayer(ca::Layer&) {
    gfx::Rect b = bounds();
    if (b.isEmpty()) return setContents(nullptr);
    gfx::BitmapContext context(b.size, contentsScale_);
    drawInContext(context);
    setContents(context.makeImage());
}

void RLMagnifierView::init() {
    ui::View::init();
    setBackgroundColor(gfx::Color::clear());
    setUserInteractionEnabled(false);
    double scale = ui::Screen::main().scale();
    auto body = [](gfx::Size offset, double opacity, double radius) {
        auto l = ca::Layer::make();
        l->setFrame({0, 0, 120, 30});
        l->setBackgroundColor(gfx::Color::whiteColor());
        l->setCornerRadius(5);
        l->setBorderWidth(1);
        l->setBorderColor(kLightGray);
        l->setShadowColor(kLightGray);
        l->setShadowOffset(offset);
        l->setShadowOpacity(opacity);
        l->setShadowRadius(radius);
        return l;
    };
    layer()->addSublayer(body({1, 0}, 0.75, 0.75));
    layer()->addSublayer(body({0, 1}, 1, 1));
    auto turned = gfx::AffineTransform::rotation(std::numbers::pi / 4);
    auto pointerShadow = ca::Layer::make();
    pointerShadow->setFrame({51, 21.5, 18, 18});
    pointerShadow->setAffineTransform(turned);
    pointerShadow->setBackgroundColor(gfx::Color::whiteColor());
    pointerShadow->setShadowColor(kLightGray);
    pointerShadow->setShadowOffset({0.6, 0.6});
    pointerShadow->setShadowOpacity(0.85);
    pointerShadow->setShadowRadius(0.85);
    layer()->addSublayer(pointerShadow);
    auto pointer = ca::Layer::make();
    pointer->setFrame({50, 20, 20, 20});
    pointer->setAffineTransform(turned);
    pointer->setBackgroundColor(gfx::Color::whiteColor());
    layer()->addSublayer(pointer);
    contentLayer_ = core::make<RLContentLayer>();
    contentLayer_->setFrame({0, 0, 120, 30});
    contentLayer_->setCornerRadius(5);
    contentLayer_->setMasksToBounds(true);
    contentLayer_->setContentsScale(scale);
    contentLayer_->setExcludedLayer(layer());
    layer()->addSublayer(contentLayer_);
}

void RLMagnifierView::setPointToMagnify(gfx::Point p) {
    pointToMagnify_ = p;
    contentLayer_->setPointToMagnify(p);
    contentLayer_->setNeedsDisplay();
}

void RLMagnifierView::updateMagnifyPoint(gfx::Point magnifyPoint, gfx::Point showMagnifyViewIn) {
    gfx::Point c = center();
    c.x = showMagnifyViewIn.x;
    double half = bounds().height() / 2;
    if (showMagnifyViewIn.y > half) c.y = showMagnifyViewIn.y - half;
    setCenter(c);
    setPointToMagnify(magnifyPoint);
}
