#include "platform/ui/PercentDrivenInteractiveTransition.h"
#include "platform/ui/TransitionContext.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/ViewControllerAnimatedTransitioning.h"
#include "platform/ui/ViewControllerTransitioningDelegate.h"
#include "UiTest.h"

namespace ui {
namespace {

// Slides the presented view in from the right edge and out again over one second, linearly, and
// records what the context said when the animation ended.
class SlideAnimator : public ViewControllerAnimatedTransitioning {
public:
    explicit SlideAnimator(bool presenting) : presenting_(presenting) {}
    double transitionDuration(const std::shared_ptr<TransitionContext>&) override { return 1; }
    void animateTransition(const std::shared_ptr<TransitionContext>& context) override {
        auto container = context->containerView();
        double width = container->bounds().width();
        auto moving = context->viewForKey(presenting_ ? TransitionControllerKey::to : TransitionControllerKey::from);
        if (presenting_) {
            container->addSubview(moving);
            moving->setFrame(container->bounds().offsetBy(width, 0));
        }
        std::weak_ptr<TransitionContext> weak = context;
        View::animate(1, 0, animationCurveLinear,
                      [&] { moving->setFrame(container->bounds().offsetBy(presenting_ ? 0 : width, 0)); },
                      [weak, this](bool) {
                          auto ctx = weak.lock();
                          if (!ctx) return;
                          cancelledAtEnd = ctx->transitionWasCancelled();
                          ctx->completeTransition(!cancelledAtEnd);
                      });
    }
    bool cancelledAtEnd = false;

private:
    bool presenting_;
};

class SlideDelegate : public ViewControllerTransitioningDelegate {
public:
    std::shared_ptr<ViewControllerAnimatedTransitioning> animationControllerForPresented(
        const std::shared_ptr<ViewController>&, const std::shared_ptr<ViewController>&,
        const std::shared_ptr<ViewController>&) override {
        return show;
    }
    std::shared_ptr<ViewControllerAnimatedTransitioning> animationControllerForDismissed(
        const std::shared_ptr<ViewController>&) override {
        return hide;
    }
    std::shared_ptr<ViewControllerInteractiveTransitioning> interactionControllerForDismissal(
        const std::shared_ptr<ViewControllerAnimatedTransitioning>&) override {
        return interactive;
    }
    std::shared_ptr<SlideAnimator> show = std::make_shared<SlideAnimator>(true);
    std::shared_ptr<SlideAnimator> hide = std::make_shared<SlideAnimator>(false);
    std::shared_ptr<PercentDrivenInteractiveTransition> interactive;
};

class CustomTransitionTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        root = core::make<ViewController>();
        window->setRootViewController(root);
        presented = core::make<ViewController>();
        presented->setTransitioningDelegate(delegate);
    }
    double shownX(const std::shared_ptr<View>& view) { return view->layer()->presentationLayer()->frame().x(); }
    void present() {
        root->presentViewController(presented, true, [this] { ++completions; });
        host->advance(1.1);
    }

    std::shared_ptr<ViewController> root;
    std::shared_ptr<ViewController> presented;
    std::shared_ptr<SlideDelegate> delegate = std::make_shared<SlideDelegate>();
    int completions = 0;
};

TEST_F(CustomTransitionTest, ThePresentationRunsTheDelegatesAnimatorInAContainerAndTheDismissalUndoesIt) {
    root->presentViewController(presented, true, [this] { ++completions; });
    auto container = presented->view()->superview();
    ASSERT_TRUE(container);
    EXPECT_EQ(container->superview(), window);
    host->advance(0.5);
    EXPECT_NEAR(shownX(presented->view()), 187.5, 1);
    host->advance(0.6);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(presented->presentingViewController(), root);
    // A completed full-screen presentation takes the presenter's view out of the window.
    EXPECT_FALSE(root->view()->window());

    presented->dismissViewControllerAnimated(true, [this] { ++completions; });
    host->advance(1.1);
    EXPECT_EQ(completions, 2);
    EXPECT_FALSE(presented->view()->superview());
    EXPECT_FALSE(container->superview());
    EXPECT_EQ(root->view()->superview(), window);
    EXPECT_FALSE(root->presentedViewController());
}

TEST_F(CustomTransitionTest, TheDelegateIsHeldWeaklySoAGoneOneMeansThePlainSlide) {
    delegate.reset();
    root->presentViewController(presented, true);
    EXPECT_EQ(presented->view()->superview(), window);
}

TEST_F(CustomTransitionTest, AnInteractiveDismissalScrubsAndFinishes) {
    present();
    delegate->interactive = core::make<PercentDrivenInteractiveTransition>();
    presented->dismissViewControllerAnimated(true, [this] { ++completions; });
    host->advance(0.5);
    EXPECT_NEAR(shownX(presented->view()), 0, 0.01) << "frozen until the finger moves";
    delegate->interactive->updateInteractiveTransition(0.4);
    host->advance(0.1);
    EXPECT_NEAR(shownX(presented->view()), 150, 0.5);
    delegate->interactive->finishInteractiveTransition();
    host->advance(0.3);
    EXPECT_NEAR(shownX(presented->view()), 262.5, 2) << "runs on from where it was";
    host->advance(0.5);
    EXPECT_FALSE(delegate->hide->cancelledAtEnd);
    EXPECT_EQ(completions, 2);
    EXPECT_FALSE(presented->view()->superview());
}

TEST_F(CustomTransitionTest, ACancelledDismissalRunsBackAndRestoresTheStartValues) {
    present();
    delegate->interactive = core::make<PercentDrivenInteractiveTransition>();
    presented->dismissViewControllerAnimated(true, [this] { ++completions; });
    delegate->interactive->updateInteractiveTransition(0.6);
    host->advance(0.1);
    delegate->interactive->cancelInteractiveTransition();
    host->advance(0.3);
    double midway = shownX(presented->view());
    EXPECT_GT(midway, 0);
    EXPECT_LT(midway, 225);
    host->advance(0.5);
    EXPECT_TRUE(delegate->hide->cancelledAtEnd);
    EXPECT_EQ(completions, 1) << "a cancelled dismissal does not run its completion";
    EXPECT_EQ(presented->view()->frame().x(), 0) << "the model value is the one before the dismissal";
    EXPECT_EQ(presented->presentingViewController(), root);
    // Still presented, so it can be dismissed for real afterwards.
    delegate->interactive.reset();
    presented->dismissViewControllerAnimated(true);
    host->advance(1.1);
    EXPECT_FALSE(root->presentedViewController());
}

TEST_F(CustomTransitionTest, FinishingOrCancellingWithoutATransitionDoesNothing) {
    auto idle = core::make<PercentDrivenInteractiveTransition>();
    idle->updateInteractiveTransition(0.5);
    idle->finishInteractiveTransition();
    idle->cancelInteractiveTransition();
    present();
    EXPECT_EQ(completions, 1);
}

TEST_F(CustomTransitionTest, ADismissalWhileTheTransitionRunsIsIgnored) {
    root->presentViewController(presented, true);
    host->advance(0.3);
    presented->dismissViewControllerAnimated(true);
    host->advance(1);
    EXPECT_EQ(presented->presentingViewController(), root);
    EXPECT_EQ(presented->view()->frame().x(), 0);
}

} // namespace
} // namespace ui
