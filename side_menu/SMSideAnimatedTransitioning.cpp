#include "side_menu/SMSideAnimatedTransitioning.h"

#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "side_menu/SMSideMaskView.h"

namespace side_menu {
namespace {

using gfx::AffineTransform;
using ui::TransitionControllerKey;

// The numbers both animations work with. A value the configuration does not hold counts as its
// default, so a half-filled configuration still gives a sensible menu instead of no menu.
struct Geometry {
    double W, H, w, x0, s, duration;
    SMSideAnimationType type;
};

Geometry geometryFor(const SMSideConfig& config, const ui::View& container) {
    Geometry g{};
    auto window = ui::Application::shared().keyWindow();
    g.W = window ? window->bounds().width() : container.bounds().width();
    g.H = container.frame().height();
    g.w = g.W * config.sideRelative().value_or(0.7);
    bool left = config.direction() == SMSideDirection::left;
    g.x0 = left ? 0 : g.W - g.w;
    g.s = left ? -1 : 1;
    g.duration = config.timeInterval().value_or(0.3);
    g.type = config.animationType().value_or(SMSideAnimationType::translationPush);
    return g;
}

// The views of one transition and the numbers for them. Without them the transition ends at once
// (nothing can move), so no menu is left half on screen.
struct Scene {
    std::shared_ptr<ui::View> presentingView, sideView, container;
    Geometry g;
};

std::optional<Scene> sceneFor(const std::shared_ptr<ui::TransitionContext>& context, const SMSideConfig* config,
                              TransitionControllerKey sideKey) {
    Scene scene;
    scene.sideView = context->viewForKey(sideKey);
    scene.presentingView = context->viewForKey(sideKey == TransitionControllerKey::to ? TransitionControllerKey::from
                                                                                     : TransitionControllerKey::to);
    scene.container = context->containerView();
    if (!config || !scene.presentingView || !scene.sideView) {
        context->completeTransition(!context->transitionWasCancelled());
        return std::nullopt;
    }
    scene.g = geometryFor(*config, *scene.container);
    return scene;
}

std::shared_ptr<SMSideMaskView> findMask(const ui::View& view) {
    for (const auto& subview : view.subviews())
        if (auto mask = std::dynamic_pointer_cast<SMSideMaskView>(subview)) return mask;
    return nullptr;
}

// Places a view whose transform is already set so that its transformed frame is `frame`, keeping
// the bounds size from `frame`: the centre moves by the transform's translation. This is the
// meaning a frame has under a transform on the platform the menu was designed for; the show
// relies on it to start the side view one side width beyond its resting place.
void setFrameUnderTransform(ui::View& view, const gfx::Rect& frame) {
    AffineTransform t = view.transform();
    view.setFrame(frame);
    view.setCenter({frame.midX() - t.tx, frame.midY() - t.ty});
}

} // namespace

double SMSideAnimatedTransitioning::transitionDuration(const std::shared_ptr<ui::TransitionContext>& context) {
    (void)context;
    return config_ ? config_->timeInterval().value_or(0.3) : 0.3;
}

void SMSideAnimatedTransitioning::animateTransition(const std::shared_ptr<ui::TransitionContext>& context) {
    if (type_ == SMSideShowType::hidden) animateHideTransition(context);
    else if (type_ == SMSideShowType::show) animateShowTransition(context);
    else context->completeTransition(!context->transitionWasCancelled());
}

void SMSideAnimatedTransitioning::animateShowTransition(const std::shared_ptr<ui::TransitionContext>& context) {
    auto scene = sceneFor(context, config_.get(), TransitionControllerKey::to);
    if (!scene) return;
    // Named copies rather than a structured binding: clang does not let lambdas capture those.
    auto presentingView = scene->presentingView, sideView = scene->sideView, container = scene->container;
    const Geometry g = scene->g;

    sideView->setFrame({g.x0, 0, g.w, g.H});
    sideView->setClipsToBounds(true);
    container->addSubview(sideView);
    container->addSubview(presentingView);

    auto mask = findMask(*presentingView);
    if (!mask) {
        mask = core::make<SMSideMaskView>();
        presentingView->addSubview(mask);
    }
    mask->setFrame(presentingView->bounds());
    mask->setAlpha(0);
    mask->setUserInteractionEnabled(false);

    AffineTransform sideStart = AffineTransform::translation(g.s * g.w, 0);
    AffineTransform presentingEnd;
    switch (g.type) {
    case SMSideAnimationType::translationPush:
        presentingEnd = AffineTransform::translation(-g.s * g.w, 0);
        break;
    case SMSideAnimationType::translationMask:
        container->bringSubviewToFront(sideView);
        break;
    case SMSideAnimationType::zoom: {
        double zoom = config_->zoomRelative().value_or(0.7);
        double offset = config_->zoomOffsetRelative().value_or(0.5);
        // Translation first, so the scale shrinks the shift as well.
        presentingEnd = AffineTransform::translation(-g.s * g.w * offset, 0).concat(AffineTransform::scale(zoom, zoom));
        break;
    }
    }

    if (g.type == SMSideAnimationType::zoom) {
        sideView->setTransform(AffineTransform::identity());
        sideView->setFrame({0, 0, g.w, g.H});
    } else {
        sideView->setTransform(sideStart);
        setFrameUnderTransform(*sideView, {g.x0 + g.s * g.w, 0, g.w, g.H});
    }

    double maskAlpha = config_->maskAlpha().value_or(0.5);
    ui::View::animate(
        g.duration,
        [&] {
            mask->setAlpha(maskAlpha);
            sideView->setTransform(AffineTransform::identity());
            presentingView->setTransform(presentingEnd);
        },
        [weakContext = std::weak_ptr(context), weakMask = std::weak_ptr(mask), weakSide = std::weak_ptr(sideView),
         weakPresenting = std::weak_ptr(presentingView), weakContainer = std::weak_ptr(container), sideStart,
         type = g.type](bool) {
            // The animation's own finished flag says nothing about the transition; the context does.
            auto ctx = weakContext.lock();
            auto box = weakContainer.lock();
            if (!ctx || !box) return;
            auto maskView = weakMask.lock();
            auto side = weakSide.lock();
            auto presenting = weakPresenting.lock();
            if (ctx->transitionWasCancelled()) {
                if (maskView) maskView->removeFromSuperview();
                if (side) side->setTransform(sideStart);
                if (presenting) presenting->setFrame(box->frame());
                ctx->completeTransition(false);
                return;
            }
            if (maskView) maskView->setUserInteractionEnabled(true);
            ctx->completeTransition(true);
            // Completing a full-screen presentation takes the presenting view out of the window;
            // the menu shows beside it, so it comes back in front.
            if (presenting) box->addSubview(presenting);
            if (type == SMSideAnimationType::translationMask && side) box->bringSubviewToFront(side);
        });
}

void SMSideAnimatedTransitioning::animateHideTransition(const std::shared_ptr<ui::TransitionContext>& context) {
    auto scene = sceneFor(context, config_.get(), TransitionControllerKey::from);
    if (!scene) return;
    // Named copies rather than a structured binding: clang does not let lambdas capture those.
    auto presentingView = scene->presentingView, sideView = scene->sideView, container = scene->container;
    const Geometry g = scene->g;

    sideView->setFrame({g.x0, 0, g.w, g.H});
    auto mask = findMask(*presentingView);
    AffineTransform sideEnd;
    if (g.type == SMSideAnimationType::zoom) container->bringSubviewToFront(presentingView);
    else sideEnd = AffineTransform::translation(g.s * g.w, 0);

    ui::View::animate(
        g.duration,
        [&] {
            // Not quite 0: the mask stays a live view until the completed hide removes it.
            if (mask) mask->setAlpha(0.001);
            sideView->setTransform(sideEnd);
            presentingView->setTransform(AffineTransform::identity());
        },
        [weakContext = std::weak_ptr(context), weakMask = std::weak_ptr(mask), weakSide = std::weak_ptr(sideView),
         weakContainer = std::weak_ptr(container), type = g.type](bool) {
            auto ctx = weakContext.lock();
            if (!ctx) return;
            bool cancelled = ctx->transitionWasCancelled();
            ctx->completeTransition(!cancelled);
            if (cancelled) {
                auto box = weakContainer.lock();
                auto side = weakSide.lock();
                if (type != SMSideAnimationType::zoom && box && side) box->bringSubviewToFront(side);
            } else if (auto maskView = weakMask.lock()) {
                maskView->removeFromSuperview();
            }
        });
}

} // namespace side_menu
