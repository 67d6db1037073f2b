#pragma once
// The operations that present a controller as a side menu, and the screen width the menu
// measures its pans against.
//
// sm_presentSideMenu configures a new SMSideConfig, attaches a transitioning delegate with a new
// dismissal transition to the side controller (the association keeps the delegate alive; the
// controller itself holds it weakly) and presents the side controller on a later turn of the main
// queue. A present asked for while that side controller is presented, or while an earlier
// present of it is still queued, is ignored: two quick taps give one menu. Main thread only.

#include "platform/core/Error.h"
#include "platform/ui/ViewController.h"
#include "side_menu/SMSideConfig.h"
#include "side_menu/SMSideDirection.h"

#include <functional>
#include <memory>

namespace side_menu {

// Presents `side` from `presenter` with the side-menu transitions; `configure` runs at once.
void sm_presentSideMenu(const std::function<void(SMSideConfig&)>& configure, const std::shared_ptr<ui::ViewController>& side,
                        const std::shared_ptr<ui::ViewController>& presenter);

// Lets a pan on the receiver's view open a side menu interactively: when a pan begins,
// `completeShowGesture` learns its direction and is expected to call sm_presentSideMenu on the
// same receiver. The receiver keeps the delegate (and so the closure) alive; a closure that
// captures the receiver should capture it weakly.
void sm_registerSideShowGesture(const std::shared_ptr<ui::ViewController>& receiver,
                                std::function<void(SMSideDirection)> completeShowGesture);

// Dismisses the receiver and pushes `controller` on the app's main navigation controller (the
// key window's root, or the selected controller of a tab-bar root). A root that is neither a
// tab-bar nor a navigation controller is an error ("没有UINavigationController") and nothing
// happens; a tab-bar root without a navigation controller selected only dismisses.
core::Status sm_pushFromSide(const std::shared_ptr<ui::ViewController>& receiver,
                             const std::shared_ptr<ui::ViewController>& controller);

// Dismisses whatever the key window's root presents, then presents `controller` from the root.
// When the root presents nothing, nothing happens.
void sm_presentFromSide(const std::shared_ptr<ui::ViewController>& receiver,
                        const std::shared_ptr<ui::ViewController>& controller);

// The main screen's width, read once on first use.
double sm_screenWidth();

} // namespace side_menu
