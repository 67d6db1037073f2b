#include "platform/web/StandInWebViewEngine.h"

#include "platform/dispatch/Queue.h"
#include "platform/web/WebView.h"

namespace web {

void StandInWebViewEngine::navigate(const net::URLRequest& request, const std::string& url, std::function<void()> commit) {
    auto view = view_.lock();
    if (!view) return;
    unsigned id = ++navigation_;
    NavigationAction action{request, url};
    std::weak_ptr<StandInWebViewEngine> weak = weak_from_this();
    view->decidePolicy(action, [weak, id, commit = std::move(commit)](NavigationActionPolicy policy) {
        auto self = weak.lock();
        if (!self || policy != NavigationActionPolicy::allow || id != self->navigation_) return;
        commit();
        self->loading_ = true;
        self->progress_ = 0.1;
        if (auto v = self->view_.lock()) v->reportStart();
        dispatch::Queue::main()->async([weak, id] {
            auto me = weak.lock();
            if (!me || id != me->navigation_ || !me->loading_) return;
            me->loading_ = false;
            me->progress_ = 1;
            if (auto v = me->view_.lock()) v->reportFinish();
        });
    });
}

void StandInWebViewEngine::load(const net::URLRequest& request) {
    std::string url = request.url->absoluteString();
    std::weak_ptr<StandInWebViewEngine> weak = weak_from_this();
    navigate(request, url, [weak, url] {
        auto self = weak.lock();
        self->history_.resize(static_cast<size_t>(self->index_ + 1));
        self->history_.push_back(url);
        ++self->index_;
    });
}

void StandInWebViewEngine::loadHTMLString(const std::string&, const std::string& baseURL) {
    load(net::URLRequest(net::URL::parse(baseURL)));
}

void StandInWebViewEngine::reload() {
    if (index_ < 0) return;
    std::string url = history_[static_cast<size_t>(index_)];
    navigate(net::URLRequest(net::URL::parse(url)), url, [] {});
}

void StandInWebViewEngine::stopLoading() {
    if (!loading_) return;
    ++navigation_;
    loading_ = false;
}

void StandInWebViewEngine::goBack() {
    if (!canGoBack()) return;
    std::string url = history_[static_cast<size_t>(index_ - 1)];
    std::weak_ptr<StandInWebViewEngine> weak = weak_from_this();
    navigate(net::URLRequest(net::URL::parse(url)), url, [weak] { --weak.lock()->index_; });
}

void StandInWebViewEngine::goForward() {
    if (!canGoForward()) return;
    std::string url = history_[static_cast<size_t>(index_ + 1)];
    std::weak_ptr<StandInWebViewEngine> weak = weak_from_this();
    navigate(net::URLRequest(net::URL::parse(url)), url, [weak] { ++weak.lock()->index_; });
}

std::string StandInWebViewEngine::urlText() const {
    return index_ < 0 ? std::string() : history_[static_cast<size_t>(index_)];
}

void StandInWebViewEngine::evaluateJavaScript(const std::string& script, ScriptCompletion completion) {
    auto view = view_.lock();
    if (!view) return;
    core::Expected<core::Value> result =
        view->scriptHandler() ? view->scriptHandler()(script)
                              : core::Expected<core::Value>(core::Error{"web.WebView", 1, "No page runs scripts without a display.", {}});
    std::weak_ptr<StandInWebViewEngine> weak = weak_from_this();
    dispatch::Queue::main()->async([weak, result = std::move(result), completion = std::move(completion)] {
        if (weak.lock() && completion) completion(result);
    });
}

} // namespace web
