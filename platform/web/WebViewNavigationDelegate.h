#pragma once
// Hears a web view's navigations and decides which it may follow. Every method has a default:
// navigations are allowed and events are ignored. A web view holds its delegate weakly.

#include "platform/core/Error.h"
#include "platform/web/NavigationAction.h"

#include <functional>

namespace web {

class WebView;

class WebViewNavigationDelegate {
public:
    virtual ~WebViewNavigationDelegate() = default;

    // Calls `decisionHandler` once, now or later; a handler dropped without a call cancels.
    virtual void decidePolicyForNavigationAction(WebView& webView, const NavigationAction& action,
                                                 std::function<void(NavigationActionPolicy)> decisionHandler) {
        (void)webView;
        (void)action;
        decisionHandler(NavigationActionPolicy::allow);
    }
    // The main frame started loading an allowed navigation.
    virtual void didStartNavigation(WebView& webView) { (void)webView; }
    // The main frame's document and its resources have loaded.
    virtual void didFinishNavigation(WebView& webView) { (void)webView; }
    // The navigation failed (not when it was cancelled by a policy decision); the previous
    // content stays.
    virtual void didFailNavigation(WebView& webView, const core::Error& error) {
        (void)webView;
        (void)error;
    }
};

} // namespace web
