#include "platform/web/WebView.h"

#include "platform/ui/NativeViewHost.h"
#include "platform/web/StandInWebViewEngine.h"
#include "platform/web/WebKitWebViewEngine.h"

namespace web {
namespace {

// Calls the decision handler exactly once: with the delegate's answer, or with "cancel" when the
// delegate lets the handler go without answering.
class OnceDecision {
public:
    explicit OnceDecision(std::function<void(NavigationActionPolicy)> handler) : handler_(std::move(handler)) {}
    ~OnceDecision() { decide(NavigationActionPolicy::cancel); }
    OnceDecision(const OnceDecision&) = delete;
    OnceDecision& operator=(const OnceDecision&) = delete;

    void decide(NavigationActionPolicy policy) {
        if (!handler_) return;
        auto handler = std::move(handler_);
        handler_ = nullptr;
        handler(policy);
    }

private:
    std::function<void(NavigationActionPolicy)> handler_;
};

} // namespace

WebView::~WebView() = default;

WebViewEngine& WebView::engine() {
    if (!engine_) {
        auto self = std::static_pointer_cast<WebView>(shared_from_this());
        auto* host = ui::NativeViewHost::current();
        // The web engine's library is loaded here, for the first page that needs it.
        if (host && host->toolkit() == "gtk3" && WebKitWebViewEngine::available()) {
            engine_ = std::make_shared<WebKitWebViewEngine>(self);
            native_ = true;
        } else {
            engine_ = std::make_shared<StandInWebViewEngine>(self);
        }
        if (window()) engine_->windowChanged(true);
    }
    return *engine_;
}

void WebView::load(const net::URLRequest& request) {
    if (!request.url) return;
    engine().load(request);
}

void WebView::loadHTMLString(const std::string& html, const std::optional<net::URL>& baseURL) {
    engine().loadHTMLString(html, baseURL ? baseURL->absoluteString() : std::string("about:blank"));
}

void WebView::reload() { engine().reload(); }
void WebView::stopLoading() { engine().stopLoading(); }
void WebView::goBack() { engine().goBack(); }
void WebView::goForward() { engine().goForward(); }
bool WebView::canGoBack() const { return engine_ && engine_->canGoBack(); }
bool WebView::canGoForward() const { return engine_ && engine_->canGoForward(); }
std::string WebView::title() const { return engine_ ? engine_->title() : std::string(); }
bool WebView::isLoading() const { return engine_ && engine_->isLoading(); }
double WebView::estimatedProgress() const { return engine_ ? engine_->estimatedProgress() : 0.0; }
bool WebView::isNative() const { return native_; }

std::optional<net::URL> WebView::url() const {
    if (!engine_) return std::nullopt;
    std::string text = engine_->urlText();
    if (text.empty()) return std::nullopt;
    return net::URL::parse(text);
}

void WebView::evaluateJavaScript(const std::string& script, ScriptCompletion completion) {
    engine().evaluateJavaScript(script, std::move(completion));
}

void WebView::didMoveToWindow() {
    View::didMoveToWindow();
    // Before the first load there is no engine yet; it learns about the window when it is made.
    if (engine_) engine_->windowChanged(window() != nullptr);
}

void WebView::decidePolicy(const NavigationAction& action, std::function<void(NavigationActionPolicy)> handler) {
    auto delegate = delegate_.lock();
    if (!delegate) return handler(NavigationActionPolicy::allow);
    auto once = std::make_shared<OnceDecision>(std::move(handler));
    delegate->decidePolicyForNavigationAction(*this, action,
                                              [once](NavigationActionPolicy policy) { once->decide(policy); });
}

void WebView::reportStart() {
    if (auto delegate = delegate_.lock()) delegate->didStartNavigation(*this);
}

void WebView::reportFinish() {
    if (auto delegate = delegate_.lock()) delegate->didFinishNavigation(*this);
}

void WebView::reportFailure(const core::Error& error) {
    if (auto delegate = delegate_.lock()) delegate->didFailNavigation(*this, error);
}

} // namespace web
