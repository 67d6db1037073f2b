#pragma once
// The web view's engine without a display: no page is parsed or drawn. It keeps a history of
// URLs, asks the delegate about every navigation (loads, reloads, back and forward), and once one
// is allowed reports its start at once and its finish on the next turn of the main queue, with
// the URL and loading flags a real engine would show. Scripts go to the view's test handler.

#include "platform/web/WebViewEngine.h"

#include <vector>

namespace web {

class WebView;

class StandInWebViewEngine final : public WebViewEngine, public std::enable_shared_from_this<StandInWebViewEngine> {
public:
    explicit StandInWebViewEngine(std::weak_ptr<WebView> view) : view_(std::move(view)) {}

    void load(const net::URLRequest& request) override;
    void loadHTMLString(const std::string& html, const std::string& baseURL) override;
    void reload() override;
    void stopLoading() override;
    void goBack() override;
    void goForward() override;
    bool canGoBack() const override { return index_ > 0; }
    bool canGoForward() const override { return index_ + 1 < static_cast<long>(history_.size()); }
    std::string title() const override { return {}; }
    std::string urlText() const override;
    bool isLoading() const override { return loading_; }
    double estimatedProgress() const override { return progress_; }
    void evaluateJavaScript(const std::string& script, ScriptCompletion completion) override;
    void windowChanged(bool) override {}

private:
    // Asks about `url`; when allowed, `commit` changes the history and the load runs.
    void navigate(const net::URLRequest& request, const std::string& url, std::function<void()> commit);

    std::weak_ptr<WebView> view_;
    std::vector<std::string> history_;
    long index_ = -1;
    bool loading_ = false;
    double progress_ = 0;
    // Tells a late finish or decision of an older navigation from the current one.
    unsigned navigation_ = 0;
};

} // namespace web
