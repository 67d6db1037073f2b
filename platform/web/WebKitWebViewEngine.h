#pragma once
// The web view's engine under the desktop host: a WebKitGTK 4.1 web view widget, handed to the
// native-view host while the view is in a window. WebKit stays inside the .cpp, which loads the
// library the first time it is asked for (so a run that never shows a web page never loads it).

#include "platform/web/WebViewEngine.h"

namespace web {

class WebView;

class WebKitWebViewEngine final : public WebViewEngine, public std::enable_shared_from_this<WebKitWebViewEngine> {
public:
    // Loads WebKit on the first call; false (said once in the log) when it cannot be loaded.
    static bool available();

    // Only after available() said true.
    explicit WebKitWebViewEngine(std::weak_ptr<WebView> view);
    ~WebKitWebViewEngine() override;

    void load(const net::URLRequest& request) override;
    void loadHTMLString(const std::string& html, const std::string& baseURL) override;
    void reload() override;
    void stopLoading() override;
    void goBack() override;
    void goForward() override;
    bool canGoBack() const override;
    bool canGoForward() const override;
    std::string title() const override;
    std::string urlText() const override;
    bool isLoading() const override;
    double estimatedProgress() const override;
    void evaluateJavaScript(const std::string& script, ScriptCompletion completion) override;
    void windowChanged(bool inWindow) override;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace web
