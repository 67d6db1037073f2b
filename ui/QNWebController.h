#pragma once
// A page that shows one page of the service in a web view: the address is the service's base URL
// followed directly by a path, the title comes from the loaded document, four share fields are
// read out of it, some links are refused or handed to other programs, and the back button goes
// back through the web history before it leaves the page.
//
// An address that is not an absolute http(s) URL with a host (no base URL yet, or a base that is
// not a web address) is not loaded: the page keeps what it shows and a log line says why.
// The web view holds the page weakly as its navigation delegate; script results and back actions
// hold it weakly too. Created with core::make; viewDidLoad runs inside creation. Main thread only.
#include "Commons/Controller/MWRootController.h"
#include "platform/web/WebView.h"
#include "platform/web/WebViewNavigationDelegate.h"

#include <memory>
#include <string>

namespace kit {

class QNWebController : public MWRootController, public web::WebViewNavigationDelegate {
    QUILLORA_CLASS(QNWebController)

    QNWebController();

    const std::shared_ptr<web::WebView>& webView() const { return webView_; }
    // When true, the document's title becomes the bar's title.
    bool autoTitle = true;
    // The document's share fields, as last read.
    std::string appName;
    std::string content;
    std::string share_link;
    std::string share_image;

    // Loads the service page at `path`, appended to the base URL exactly as given.
    void load(const std::string& path);
    // Back through the web history; at its start, leaves the page.
    void webBackAction();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void decidePolicyForNavigationAction(web::WebView& webView, const web::NavigationAction& action,
                                         std::function<void(web::NavigationActionPolicy)> decisionHandler) override;
    void didFinishNavigation(web::WebView& webView) override;

private:
    std::weak_ptr<QNWebController> weakPage();

    std::shared_ptr<web::WebView> webView_ = core::make<web::WebView>();
};

} // namespace kit
