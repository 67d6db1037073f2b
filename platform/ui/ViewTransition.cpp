// View::transition: the view's old look is drawn into a picture laid over it, the change is made
// underneath, and the picture is taken away by the chosen effect.

#include "platform/ca/Animation.h"
#include "platform/ca/MediaTime.h"
#include "platform/ca/Renderer.h"
#include "platform/dispatch/Queue.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"

#include <cmath>
#include <numbers>

namespace ui {

namespace {

constexpr unsigned kTransitionMask = 7u << 20;

gfx::ImagePtr snapshot(View& view) {
    const gfx::Rect bounds = view.bounds();
    if (bounds.width() <= 0 || bounds.height() <= 0) return nullptr;
    gfx::BitmapContext context(bounds.size, Screen::main().scale());
    const gfx::Rect frame = view.layer()->frame();
    context.translate(-frame.x(), -frame.y());
    ca::Renderer::render(*view.layer(), context, ca::currentMediaTime());
    return std::const_pointer_cast<gfx::Image>(context.makeImage());
}

ca::MediaTimingFunction timingFor(unsigned options) {
    switch (options & (3u << 16)) {
    case animationCurveEaseIn: return ca::MediaTimingFunction::easeIn();
    case animationCurveEaseOut: return ca::MediaTimingFunction::easeOut();
    case animationCurveLinear: return ca::MediaTimingFunction::linear();
    default: return ca::MediaTimingFunction::easeInEaseOut();
    }
}

} // namespace

void View::transition(const std::shared_ptr<View>& view, double duration, unsigned options, const std::function<void()>& animations,
                      std::function<void(bool)> completion) {
    const unsigned kind = options & kTransitionMask;
    gfx::ImagePtr before = view && kind != animationTransitionNone && duration > 0 ? snapshot(*view) : nullptr;
    if (animations) animations();
    if (!before) {
        if (completion) dispatch::Queue::main()->async([completion = std::move(completion)] { completion(true); });
        return;
    }
    view->layoutIfNeeded();
    const gfx::Rect bounds = view->bounds();
    auto cover = ca::Layer::make();
    cover->setName("transition");
    cover->setFrame(bounds);
    cover->setContents(before);
    view->layer()->addSublayer(cover);

    const double now = view->layer()->localTime();
    auto done = std::make_shared<std::function<void(bool)>>(std::move(completion));
    std::weak_ptr<ca::Layer> weakCover = cover;
    auto finish = [done, weakCover](bool finished) {
        if (auto c = weakCover.lock()) c->removeFromSuperlayer();
        if (auto call = std::exchange(*done, nullptr)) call(finished);
    };

    if (kind == animationTransitionCrossDissolve) {
        auto fade = ca::BasicAnimation::make("opacity");
        fade->fromValue = 1.0;
        fade->toValue = 0.0;
        fade->duration = duration;
        fade->beginTime = cover->localTime();
        fade->timingFunction = timingFor(options);
        fade->onStop = finish;
        cover->setOpacity(0);
        cover->addAnimation(fade, "transition");
        return;
    }
    if (kind == animationTransitionCurlUp || kind == animationTransitionCurlDown) {
        // A wipe: the old look shrinks towards the top (up) or the bottom (down), clipped, not squeezed.
        const bool up = kind == animationTransitionCurlUp;
        cover->setMasksToBounds(true);
        cover->setContentsGravity(up ? ca::ContentsGravity::top : ca::ContentsGravity::bottom);
        cover->setAnchorPoint({0.5, up ? 0.0 : 1.0});
        cover->setPosition({bounds.x() + bounds.width() / 2, up ? bounds.y() : bounds.y() + bounds.height()});
        gfx::Rect collapsed = {0, 0, bounds.width(), 0};
        auto wipe = ca::BasicAnimation::make("bounds");
        wipe->fromValue = gfx::Rect{0, 0, bounds.width(), bounds.height()};
        wipe->toValue = collapsed;
        wipe->duration = duration;
        wipe->beginTime = cover->localTime();
        wipe->timingFunction = timingFor(options);
        wipe->onStop = finish;
        cover->setBounds(collapsed);
        cover->addAnimation(wipe, "transition");
        return;
    }
    // Flips: the view turns edge-on showing its old look, then comes round from the other side
    // showing the new one.
    const bool vertical = kind == animationTransitionFlipFromTop || kind == animationTransitionFlipFromBottom;
    const double sign = kind == animationTransitionFlipFromLeft || kind == animationTransitionFlipFromTop ? 1.0 : -1.0;
    // Just short of a right angle, so the turn decomposes and interpolates cleanly.
    const double edgeOn = sign * (std::numbers::pi / 2 - 0.01);
    auto turn = [&](double angle) { return gfx::Transform3D::rotation(angle, vertical ? 1 : 0, vertical ? 0 : 1, 0); };
    const gfx::Transform3D model = view->layer()->transform();
    auto flip = ca::KeyframeAnimation::make("transform");
    flip->values = {model, turn(edgeOn).concat(model), turn(-edgeOn).concat(model), model};
    flip->keyTimes = {0, 0.5, 0.5, 1};
    flip->duration = duration;
    flip->beginTime = now;
    flip->onStop = finish;
    auto hide = ca::BasicAnimation::make("opacity");
    hide->fromValue = 1.0;
    hide->toValue = 1.0;
    hide->duration = duration / 2;
    hide->beginTime = cover->localTime();
    cover->setOpacity(0);
    cover->addAnimation(hide, "transition");
    view->layer()->addAnimation(flip, "view.transition");
}

} // namespace ui
