#include "ui/BYWebViewController.h"

#include "platform/core/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"

#include <string_view>

namespace kit {
namespace {


// "k=v&k2=v2": pieces without "=" are skipped, a later key replaces an earlier one, nothing is
// decoded.
std::map<std::string, std::string> bridgeParameters(std::string_view query) {
    std::map<std::string, std::string> parameters;
    while (true) {
        const size_t amp = query.find('&');
        const std::string_view piece = query.substr(0, amp);
        if (const size_t eq = piece.find('='); eq != std::string_view::npos)
            parameters[std::string(piece.substr(0, eq))] = std::string(piece.substr(eq + 1));
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return parameters;
}

} // namespace

BYWebViewController::BYWebViewController(bool showRight) { (void)showRight; }

void BYWebViewController::init() {
    ViewController::init();
    needPush = false;
    const auto& page = view();  // loads the view: viewDidLoad runs here
    page->setBackgroundColor(gfx::Color::whiteColor());
    const gfx::Rect bounds = page->bounds();
    const double b = bottomInset(ui::Screen::main().bounds().height());
    webView_ = core::make<web::WebView>(gfx::Rect{0, 0, bounds.width(), bounds.height() - b});
    webView_->setAutoresizingMask(ui::autoresizingFlexibleWidth | ui::autoresizingFlexibleHeight);
    webView_->setNavigationDelegate(std::static_pointer_cast<BYWebViewController>(shared_from_this()));
    page->addSubview(webView_);

    redDot_ = core::make<ui::View>(gfx::Rect{0, 0, 10, 10});
    redDot_->setBackgroundColor(gfx::Color::rgb(255, 0, 0));
    redDot_->layer()->setCornerRadius(5);

    auto item = core::make<ui::View>(gfx::Rect{0, 0, 60, 35});
    backButton_ = core::make<ui::Button>(gfx::Rect{0, 0, 60, 35});
    backButton_->setTitleColor(gfx::Color::whiteColor());
    auto icon = core::make<ui::ImageView>(gfx::Rect{0, 2.5, 30, 30});
    icon->setImage(gfx::Image::named("NavButtonReturn_icon.png"));
    auto label = core::make<ui::Label>(gfx::Rect{30, 5, 35, 25});
    label->setText("返回");
    label->setFont(gfx::Font::systemFont(15));
    label->setTextColor(gfx::Color::whiteColor());
    backButton_->addSubview(icon);
    backButton_->addSubview(label);
    std::weak_ptr<BYWebViewController> weak = std::static_pointer_cast<BYWebViewController>(shared_from_this());
    backButton_->addTarget(std::weak_ptr<void>(weak), [weak](ui::Control&) {
        if (auto self = weak.lock()) self->backClick();
    }, ui::touchUpInside);
    item->addSubview(backButton_);
    navigationItem()->setLeftBarButtonItems({ui::BarButtonItem::fixedSpace(-17), ui::BarButtonItem::withCustomView(item)});
}

void BYWebViewController::requestURL(const net::URLRequest& request) {
    if (!request.url || request.url->absoluteString().empty()) return;
    lastRequest_ = request;
    webView_->load(request);
}

void BYWebViewController::backClick() {
    if (webView_->canGoBack()) {
        webView_->goBack();
        return;
    }
    closeClick();
}

void BYWebViewController::closeClick() {
    // Presented inside a navigation controller: the presented one is the stack.
    std::shared_ptr<ui::ViewController> presented = navigationController();
    if (!presented || presentingViewController()) presented = std::static_pointer_cast<ui::ViewController>(shared_from_this());
    presented->dismissViewControllerAnimated(true);
}

void BYWebViewController::decidePolicyForNavigationAction(web::WebView&, const web::NavigationAction& action,
                                                          std::function<void(web::NavigationActionPolicy)> decisionHandler) {
    const std::string& text = action.urlText;
    const size_t question = text.find('?');
    const std::string head = text.substr(0, question);
    if (head.starts_with("oc://")) {
        std::map<std::string, std::string> parameters;
        if (question != std::string::npos) parameters = bridgeParameters(std::string_view(text).substr(question + 1));
        if (jsFunctionWithOc) jsFunctionWithOc(head.substr(5), parameters);
        return decisionHandler(web::NavigationActionPolicy::cancel);
    }
    auto& application = ui::Application::shared();
    if (head.starts_with("tel:")) {
        if (!application.canOpenURL(text)) return decisionHandler(web::NavigationActionPolicy::allow);
        application.openURL(text);
        return decisionHandler(web::NavigationActionPolicy::cancel);
    }
    if (head.starts_with("alipay://")) {
        std::weak_ptr<BYWebViewController> weak = std::static_pointer_cast<BYWebViewController>(shared_from_this());
        application.openURL(text, [weak](bool opened) {
            if (auto self = weak.lock(); self && opened) self->backClick();
        });
    }
    decisionHandler(web::NavigationActionPolicy::allow);
}

void BYWebViewController::didFinishNavigation(web::WebView& view) {
    std::weak_ptr<BYWebViewController> weak = std::static_pointer_cast<BYWebViewController>(shared_from_this());
    view.evaluateJavaScript("document.title;", [weak](core::Expected<core::Value> result) {
        auto self = weak.lock();
        if (!self || !result.ok()) return;
        if (const std::string* title = result->string()) self->setTitle(*title);
    });
}

} // namespace kit
