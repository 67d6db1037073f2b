// The position adjustment: brings the focused input above the keyboard by scrolling its scroll
// views, raising the adjusted scroll view's bottom inset, insetting a tall text view and shifting
// the page's root view.
#include "keyboard/KBKeyboardManager.h"
#include "keyboard/KBLogText.h"

#include "keyboard/KBViewOptions.h"
#include "platform/ca/MediaTime.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"


namespace keyboard {
namespace {

double maxOf(double a, double b) { return b > a ? b : a; }
double minOf(double a, double b) { return b < a ? b : a; }

using logtext::number;
using logtext::text;

// The scroll view to adjust from `candidate` upward: the first that scrolls and is not told to
// stay out.
ui::ScrollView* adjustableScrollView(ui::View* candidate) {
    while (candidate) {
        auto* scroll = static_cast<ui::ScrollView*>(candidate);
        if (scroll->isScrollEnabled() && !shouldIgnoreScrollingAdjustment(*scroll)) return scroll;
        candidate = superviewOfClassTypePointer(*candidate, KBClass::of<ui::ScrollView>());
    }
    return nullptr;
}

std::shared_ptr<ui::ScrollView> held(ui::ScrollView* scroll) {
    return scroll ? std::static_pointer_cast<ui::ScrollView>(std::static_pointer_cast<ui::View>(scroll->shared_from_this())) : nullptr;
}

} // namespace

void KBKeyboardManager::applyRootViewOrigin(const std::shared_ptr<ui::ViewController>& controller, gfx::Point origin) {
    // A page already there (walking a form that its scroll view carries): the block would change
    // nothing, run no layout and write no line.
    const auto& page = controller->view();
    if (!layoutIfNeededOnUpdate && !enableDebugging && page->layer()->hasFrame({origin, page->frame().size})) return;
    animate([&] {
        const auto& view = controller->view();
        view->setFrame({origin, view->frame().size});
        if (layoutIfNeededOnUpdate) {
            view->setNeedsLayout();
            view->layoutIfNeeded();
        }
        if (enableDebugging) log("Set " + logDescription(*controller) + " origin to : " + text(origin));
    });
}

void KBKeyboardManager::adjustPosition() {
    if (!hasPendingAdjustRequest_) return;
    // The run takes references only to what outlives a call out of it (an animation block, a
    // scroll view's delegate): the input, its page, its window and the scroll view it moves. The
    // rest is read through plain pointers right where it is found.
    auto input = textFieldView();
    if (!input) return;
    ui::ViewController* page = parentContainerViewControllerPointer(*input);
    if (!page) return;
    auto window = input->window();  // the key window the manager would find first
    if (!window) window = currentKeyWindow();
    if (!window) return;
    const ui::View* superview = input->superviewPointer();
    if (!superview) return;
    auto root = std::static_pointer_cast<ui::ViewController>(page->shared_from_this());

    // The focus may have moved to another page while the keyboard stayed: that page's origin is
    // saved now, after the page moved so far is put back; a run without a saved origin saves one.
    bool samePage = !rootViewController_.expired() && !rootViewController_.owner_before(root) && !root.owner_before(rootViewController_);
    if (!samePage) {
        if (!rootViewController_.expired()) restoreRootViewPosition();
        hasPendingAdjustRequest_ = true;
        topViewBeginOrigin_ = unsetOrigin;
    }
    if (topViewBeginOrigin_ == unsetOrigin) saveBeginOrigin();

    const auto& rootView = root->view();
    const ui::View* rootSuperview = rootView->superviewPointer();
    gfx::Rect inWindow = superview->convertRect(input->frame(), window.get());
    gfx::Rect inRoot = rootSuperview ? superview->convertRect(input->frame(), rootSuperview) : inWindow;

    double start = startTime();
    logStarted("adjustPosition()");
    gfx::Point rootOrigin = rootView->frame().origin;

    // A search bar on the chain before a controller decides the distance.
    const ui::SearchBar* bar = enclosingSearchBarPointer(*input);
    double distance = keyboard::keyboardDistanceFromTextField(bar ? static_cast<const ui::View&>(*bar) : *input);
    if (distance == keyboardDistanceUseDefault) distance = keyboardDistance_;

    double H = kbSize_.height + distance;
    double navigationArea = ui::Application::shared().statusBarFrame().height();
    if (auto nav = root->navigationController()) navigationArea += nav->navigationBar()->barHeight();
    double bottomMargin = rootView->layoutMargins().bottom;
    double topGuide = maxOf(navigationArea, bottomMargin) + 5.0;
    bool isTextView = core::isKindOf<ui::TextView>(*input);
    double bottomGuide = isTextView ? 0 : bottomMargin;
    double windowHeight = window->frame().height();

    double move = minOf(inRoot.minY() - topGuide, inWindow.maxY() - (windowHeight - H) + bottomGuide);
    if (enableDebugging) log("Need to move: " + number(move));

    // The scroll view to adjust, and the one adjusted before.
    ui::ScrollView* found = adjustableScrollView(superviewOfClassTypePointer(*input, KBClass::of<ui::ScrollView>()));
    ui::ScrollView* last = lastScrollViewPointer();
    auto save = [&](ui::ScrollView* s, const char* what) {
        setLastScrollView(s);
        startingContentInsets_ = s->contentInset();
        startingScrollIndicatorInsets_ = s->scrollIndicatorInsets();
        startingContentOffset_ = s->contentOffset();
        if (enableDebugging) log(std::string(what) + logDescription(*s) + " contentInset : " + text(startingContentInsets_) + " and contentOffset : " +
            text(startingContentOffset_));
    };
    if (last && last != found) {
        auto restoring = held(last);
        auto kept = held(found);
        if (enableDebugging) log("Restoring " + logDescription(*restoring) + " contentInset to : " + text(startingContentInsets_) + " and contentOffset to : " +
            text(startingContentOffset_));
        auto insets = startingContentInsets_, indicators = startingScrollIndicatorInsets_;
        animate([&] {
            restoring->setContentInset(insets);
            restoring->setScrollIndicatorInsets(indicators);
        });
        if (shouldRestoreScrollViewContentOffset(*restoring)) restoring->setContentOffset(startingContentOffset_, true);
        if (!kept) {
            startingContentInsets_ = startingScrollIndicatorInsets_ = {};
            startingContentOffset_ = {};
            setLastScrollView(nullptr);
        } else {
            save(kept.get(), "Saving New ");
        }
    } else if (!last && found) {
        save(found, "Saving ");
    }

    // Scroll the adjusted scroll view and those above it.
    if (auto scrolling = held(lastScrollViewPointer())) {
        const ui::View* lastView = input.get();
        std::shared_ptr<ui::ScrollView> lastHeld;  // keeps the view whose frame the next round reads
        for (std::shared_ptr<ui::ScrollView> s = std::move(scrolling); s;) {
            double offsetY = s->contentOffset().y;
            bool goOn = move > 0 ? (-offsetY - s->contentInset().top) < move : offsetY > 0;
            if (!goOn) break;
            auto next = held(adjustableScrollView(superviewOfClassTypePointer(*s, KBClass::of<ui::ScrollView>())));
            if (const ui::View* lastSuper = lastView->superviewPointer()) {
                gfx::Rect inS = lastSuper->convertRect(lastView->frame(), s.get());
                double target = offsetY - minOf(offsetY, -move);
                target = minOf(target, inS.minY());
                if (isTextView && !next && target >= 0) {
                    if (const ui::View* inputSuper = input->superviewPointer()) {
                        gfx::Rect r = inputSuper->convertRect(input->frame(), window.get());
                        double fix = r.minY() - topGuide;
                        target = minOf(target, offsetY + fix);
                        move = 0;
                    } else {
                        move -= target - offsetY;
                    }
                } else {
                    move -= target - offsetY;
                }
                animate([&] {
                    if (enableDebugging) log("Adjusting " + number(offsetY - target) + " to " + logDescription(*s) + " ContentOffset");
                    if (enableDebugging) log("Remaining Move: " + number(move));
                    s->setContentOffset({s->contentOffset().x, target}, false);
                });
            }
            lastView = s.get();
            lastHeld = std::move(s);
            s = std::move(next);
        }
    }

    // The adjusted scroll view's bottom inset reaches the keyboard's top.
    if (ui::ScrollView* scrolling = lastScrollViewPointer(); scrolling && scrolling->superviewPointer()) {
        gfx::Rect r = scrolling->superviewPointer()->convertRect(scrolling->frame(), window.get());
        double bottom = (H - distance) - (windowHeight - r.maxY());
        double newBottom = maxOf(startingContentInsets_.bottom, bottom);
        // Walking a form keeps the same inset from field to field: nothing to animate or lay out then.
        bool changed = scrolling->contentInset().bottom != newBottom || scrolling->scrollIndicatorInsets().bottom != newBottom;
        if (changed || enableDebugging) {
            auto kept = held(scrolling);
            if (enableDebugging) log(logDescription(*kept) + " old ContentInset : " + text(kept->contentInset()));
            if (changed) animate([&] {
                auto insets = kept->contentInset();
                insets.bottom = newBottom;
                kept->setContentInset(insets);
                auto indicators = kept->scrollIndicatorInsets();
                indicators.bottom = newBottom;
                kept->setScrollIndicatorInsets(indicators);
            });
            if (enableDebugging) log(logDescription(*kept) + " new ContentInset : " + text(kept->contentInset()));
        }
    }

    // A text view taller than the room above the keyboard is inset instead of pushed up.
    if (isTextView) {
        auto textView = std::static_pointer_cast<ui::TextView>(input);
        const ui::View* rootAbove = rootView->superviewPointer();  // read again: the blocks above may have moved things
        gfx::Rect rootFrame = rootAbove ? rootAbove->convertRect(rootAbove->bounds(), window.get()) : window->frame();
        double keyboardTop = windowHeight - (H - distance);
        double covered = rootFrame.maxY() - keyboardTop;
        double visible = minOf(textView->frame().height(), rootFrame.height() - topGuide - covered);
        if (visible < textView->frame().height() - textView->contentInset().bottom) {
            animate([&] {
                if (enableDebugging) log(logDescription(*textView) + " Old UITextView.contentInset : " + text(textView->contentInset()));
                if (!isTextViewContentInsetChanged_) {
                    startingTextViewContentInsets_ = textView->contentInset();
                    startingTextViewScrollIndicatorInsets_ = textView->scrollIndicatorInsets();
                }
                auto insets = textView->contentInset();
                insets.bottom = textView->frame().height() - visible;
                textView->setContentInset(insets);
                textView->setScrollIndicatorInsets(insets);
                isTextViewContentInsetChanged_ = true;
            });
        }
    }

    // The root view takes what is left.
    if (move >= 0) {
        double y = maxOf(rootOrigin.y - move, minOf(0, -(H - distance)));
        log("Moving Upward");
        applyRootViewOrigin(root, {rootOrigin.x, y});
        movedDistance_ = topViewBeginOrigin_.y - y;
    } else {
        double disturb = rootOrigin.y - topViewBeginOrigin_.y;
        if (disturb <= 0) {
            double y = rootOrigin.y - maxOf(move, disturb);
            log("Moving Downward");
            applyRootViewOrigin(root, {rootOrigin.x, y});
            movedDistance_ = topViewBeginOrigin_.y - y;
        }
    }
    logEnded("adjustPosition()", start);
}

} // namespace keyboard
