#pragma once
// A view that shows a web page. Under the desktop host a WebKitGTK widget shows the page at the
// view's window frame (the host places it and draws the views painted after this one above it).
// Without a native host (headless) the view is a stand-in that renders nothing: it keeps the URL,
// the history and the loading flags, asks its delegate about every navigation, reports a start
// and, on the next turn of the main queue, a finish, and answers scripts only through
// setScriptHandlerForTesting(). The engine is chosen at the first call that needs one, so a view
// made before the host still gets the widget. Main thread only.

#include "platform/core/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/View.h"
#include "platform/web/WebViewNavigationDelegate.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace web {

class WebViewEngine;

class WebView : public ui::View {
    QUILLORA_CLASS(WebView)

    explicit WebView(gfx::Rect frame = {}) : View(frame) {}
    ~WebView() override;

    std::shared_ptr<WebViewNavigationDelegate> navigationDelegate() const { return delegate_.lock(); }
    void setNavigationDelegate(const std::shared_ptr<WebViewNavigationDelegate>& delegate) { delegate_ = delegate; }

    // Loads the request; one without a URL is ignored. The desktop engine sends the header
    // fields; it has no per-request time-out or cache policy, so those are not applied.
    void load(const net::URLRequest& request);
    // Shows `html` as the document at `baseURL` (about:blank when absent).
    void loadHTMLString(const std::string& html, const std::optional<net::URL>& baseURL);
    void reload();
    void stopLoading();
    bool canGoBack() const;
    bool canGoForward() const;
    void goBack();
    void goForward();

    // The document's title ("" before one loaded), the current URL, and the loading state.
    std::string title() const;
    std::optional<net::URL> url() const;
    bool isLoading() const;
    double estimatedProgress() const;

    // Runs the script in the page; the completion gets its value as JSON would carry it (text,
    // number, boolean, array, dictionary; null for undefined) or an error, later, on the main
    // queue. A completion whose view went is dropped.
    using ScriptCompletion = std::function<void(core::Expected<core::Value>)>;
    void evaluateJavaScript(const std::string& script, ScriptCompletion completion);

    // Whether a native widget shows the page (false for the headless stand-in).
    bool isNative() const;

    // Headless only: answers the scripts the stand-in is asked to run; without one they fail.
    using ScriptHandler = std::function<core::Expected<core::Value>(const std::string& script)>;
    void setScriptHandlerForTesting(ScriptHandler handler) { scriptHandler_ = std::move(handler); }

    void didMoveToWindow() override;

    // For the engines: ask the delegate, report events to it.
    void decidePolicy(const NavigationAction& action, std::function<void(NavigationActionPolicy)> handler);
    void reportStart();
    void reportFinish();
    void reportFailure(const core::Error& error);
    const ScriptHandler& scriptHandler() const { return scriptHandler_; }

private:
    WebViewEngine& engine();

    std::weak_ptr<WebViewNavigationDelegate> delegate_;
    std::shared_ptr<WebViewEngine> engine_;
    ScriptHandler scriptHandler_;
    bool native_ = false;
};

} // namespace web
