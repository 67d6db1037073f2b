#pragma once
// What renders a web view's page: WebKitGTK under the desktop host, a stand-in without one.
// Internal to platform/web. Engines report to their view through its weak pointer, so an event
// that arrives after the view went is dropped.

#include "platform/core/Error.h"
#include "platform/net/URLRequest.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace web {

class WebViewEngine {
public:
    using ScriptCompletion = std::function<void(core::Expected<core::Value>)>;

    virtual ~WebViewEngine() = default;

    virtual void load(const net::URLRequest& request) = 0;
    virtual void loadHTMLString(const std::string& html, const std::string& baseURL) = 0;
    virtual void reload() = 0;
    virtual void stopLoading() = 0;
    virtual void goBack() = 0;
    virtual void goForward() = 0;
    virtual bool canGoBack() const = 0;
    virtual bool canGoForward() const = 0;
    virtual std::string title() const = 0;
    virtual std::string urlText() const = 0;
    virtual bool isLoading() const = 0;
    virtual double estimatedProgress() const = 0;
    virtual void evaluateJavaScript(const std::string& script, ScriptCompletion completion) = 0;
    // The view joined (true) or left (false) a window.
    virtual void windowChanged(bool inWindow) = 0;
};

} // namespace web
