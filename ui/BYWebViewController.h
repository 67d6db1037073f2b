#pragma once
// A stand-alone web page for modal presentation inside a navigation controller: a white "返回"
// back item at the left of the bar (17 points left of the standard margin), a web view that fills
// the page, the document's title as the page's title, and a script bridge: a link
// "oc://name?k=v&k2=v2" is not followed but calls jsFunctionWithOc(name, {k: v, k2: v2}) (values
// as they stand, not percent-decoded; the query is everything after the first "?"). Telephone
// links go to the application when it can open them (else the web view follows them);
// "alipay://" links are handed to the application and, once it opened one, the page goes back.
// The back item goes back through the web history, then dismisses the page.
//
// The web view fills the page's width and its height less the home indicator's 34 points on a
// screen 812 points high, and follows the page's bounds. Created with
// core::make<BYWebViewController>() (or (showRight), which changes nothing); viewDidLoad runs
// inside creation. Main thread only.
#include "platform/net/URLRequest.h"
#include "platform/ui/Button.h"
#include "platform/ui/ViewController.h"
#include "platform/web/WebView.h"
#include "platform/web/WebViewNavigationDelegate.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace kit {

class BYWebViewController : public ui::ViewController, public web::WebViewNavigationDelegate {
    QUILLORA_CLASS(BYWebViewController)

    using BridgeFunction = std::function<void(const std::string& name, const std::map<std::string, std::string>& parameters)>;

    explicit BYWebViewController(bool showRight = false);
    void init() override;

    bool needRefresh = false;
    bool needPush = false;
    const std::shared_ptr<web::WebView>& webView() const { return webView_; }
    BridgeFunction jsFunctionWithOc = [](const std::string&, const std::map<std::string, std::string>&) {};
    // Never created by the page.
    std::shared_ptr<ui::Button> closeButton;
    const std::shared_ptr<ui::Button>& backButton() const { return backButton_; }
    // The last request given to requestURL.
    const std::optional<net::URLRequest>& lastRequest() const { return lastRequest_; }

    // Loads a request whose URL has an absolute text; others are ignored.
    void requestURL(const net::URLRequest& request);
    void backClick();
    void closeClick();

    void decidePolicyForNavigationAction(web::WebView& webView, const web::NavigationAction& action,
                                         std::function<void(web::NavigationActionPolicy)> decisionHandler) override;
    void didFinishNavigation(web::WebView& webView) override;

    // The height kept free at the bottom of a screen `screenHeight` points high.
    static double bottomInset(double screenHeight) { return screenHeight == 812 ? 34 : 0; }

private:
    std::shared_ptr<web::WebView> webView_;
    std::shared_ptr<ui::Button> backButton_;
    std::shared_ptr<ui::View> redDot_;
    std::optional<net::URLRequest> lastRequest_;
};

} // namespace kit
