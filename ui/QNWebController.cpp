#include "ui/QNWebController.h"

#include "network/NXServer.h"
#include "platform/core/Ascii.h"
#include "platform/core/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "ui/c.h"

#include <string_view>

namespace kit {

namespace {

// Only addresses a web page can be loaded from; anything else would leave the page blank.
bool isWebAddress(const net::URL& url) {
    if (!url.scheme() || !url.host() || url.host()->empty()) return false;
    return core::ascii::equalsIgnoringCase(*url.scheme(), "http") || core::ascii::equalsIgnoringCase(*url.scheme(), "https");
}

int effectivePort(const net::URL& url) {
    if (url.port()) return *url.port();
    return core::ascii::equalsIgnoringCase(*url.scheme(), "https") ? 443 : 80;
}

// The joined address must stay on the service: same scheme, host and port as the base (a path
// like "@other-host/x" joined to a base without a trailing "/" would make the base's host mere
// user info).
bool sameOrigin(const net::URL& base, const net::URL& url) {
    return core::ascii::equalsIgnoringCase(*base.scheme(), *url.scheme()) &&
           core::ascii::equalsIgnoringCase(*base.host(), *url.host()) && effectivePort(base) == effectivePort(url);
}


// The text of a script's result; nothing for an error or a value of another kind.
const std::string* textOf(const core::Expected<core::Value>& result) { return result.ok() ? result->string() : nullptr; }

} // namespace

QNWebController::QNWebController() = default;

std::weak_ptr<QNWebController> QNWebController::weakPage() {
    return std::static_pointer_cast<QNWebController>(shared_from_this());
}

void QNWebController::viewDidLoad() {
    MWRootController::viewDidLoad();
    navBar()->setBackgroundColor(c::colorFFFFFF());
    isBackBtnHidden = false;
    webView_->setNavigationDelegate(std::static_pointer_cast<QNWebController>(shared_from_this()));
    scrollView()->addSubview(webView_);
    // Through the page scroll view's own switch as well, which its empty-state updates restore.
    scrollView()->setTheScrollEnabel(false);
    scrollView()->setScrollEnabled(false);
    auto weak = weakPage();
    backBtn()->setAction([weak](ui::Button&) {
        if (auto self = weak.lock()) self->webBackAction();
    });
}

void QNWebController::viewWillAppear(bool animated) {
    MWRootController::viewWillAppear(animated);
    const auto bounds = scrollView()->bounds();
    webView_->setFrame({0, 0, bounds.size.width, bounds.size.height});
}

void QNWebController::load(const std::string& path) {
    const auto base = network::NXServer::shared()->getUrl();
    if (!base || base->empty()) {
        core::log("QNWebController: no service address yet, " + path + " is not loaded");
        return;
    }
    // Joined as they stand: a base ending in "/" and a path starting with "/" keep both slashes.
    const std::string address = *base + path;
    auto url = net::URL::parse(address);
    if (!url || !isWebAddress(*url)) {
        core::log("QNWebController: " + address + " is not a web address, the page keeps its content");
        return;
    }
    auto baseURL = net::URL::parse(*base);
    if (!baseURL || !isWebAddress(*baseURL) || !sameOrigin(*baseURL, *url)) {
        core::log("QNWebController: " + address + " leaves the service at " + *base + ", the page keeps its content");
        return;
    }
    webView_->load(net::URLRequest(std::move(url), net::CachePolicy::useProtocolCachePolicy, 60));
}

void QNWebController::decidePolicyForNavigationAction(web::WebView&, const web::NavigationAction& action,
                                                      std::function<void(web::NavigationActionPolicy)> decisionHandler) {
    const std::string& text = action.urlText;
    if (text.ends_with("app_action://")) return decisionHandler(web::NavigationActionPolicy::cancel);
    if (text.starts_with("recharge://") || text.ends_with("recharge://"))
        return decisionHandler(web::NavigationActionPolicy::cancel);
    if (text.starts_with("alipay://")) {
        ui::Application::shared().openURL(text);
        if (auto navigation = navigationController()) navigation->popViewControllerAnimated(true);
    }
    decisionHandler(web::NavigationActionPolicy::allow);
}

void QNWebController::didFinishNavigation(web::WebView& view) {
    auto weak = weakPage();
    view.evaluateJavaScript("document.title;", [weak](core::Expected<core::Value> result) {
        auto self = weak.lock();
        const std::string* title = textOf(result);
        if (self && title && self->autoTitle) self->lvTitleLabel()->setText(*title);
    });
    struct ShareField {
        const char* script;
        std::string QNWebController::*field;
    };
    static constexpr ShareField kShareFields[] = {
        {"$('#share_title').val();", &QNWebController::appName},
        {"$('#share_content').val();", &QNWebController::content},
        {"$('#share_link').val();", &QNWebController::share_link},
        {"$('#share_image').val();", &QNWebController::share_image},
    };
    for (const auto& share : kShareFields) {
        view.evaluateJavaScript(share.script, [weak, field = share.field](core::Expected<core::Value> result) {
            auto self = weak.lock();
            const std::string* value = textOf(result);
            if (self && value) (*self).*field = *value;
        });
    }
}

void QNWebController::webBackAction() {
    if (webView_->canGoBack()) {
        webView_->goBack();
        return;
    }
    auto navigation = navigationController();
    if (!navigation) return;
    // The page is the only one on its stack: the stack itself was presented, so it goes away whole.
    if (navigation->viewControllers().size() == 1) navigation->dismissViewControllerAnimated(true);
    else navigation->popViewControllerAnimated(true);
}

} // namespace kit
