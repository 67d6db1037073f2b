#include "platform/web/WebKitWebViewEngine.h"

#include "platform/core/Json.h"
#include "platform/core/Log.h"
#include "platform/ui/NativeViewHost.h"
#include "platform/web/WebView.h"

#include <dlfcn.h>
#include <webkit2/webkit2.h>

namespace web {
namespace {

// WebKit (with JavaScriptCore, libsoup, GStreamer and the rest it brings) is loaded the first time
// a page needs an engine, not when the program starts: most runs never open a web page, and the
// program starts faster and smaller without it. Only these functions are used, each through the
// table below; the headers give their types. (The type-checking cast macros would call the
// libraries' get_type functions directly, so plain casts stand in for them.)
#define QUILLORA_WEBKIT_FUNCTIONS(X)                                                                                   \
    X(webkit_web_view_new)                                                                                             \
    X(webkit_web_view_load_request)                                                                                    \
    X(webkit_web_view_load_html)                                                                                       \
    X(webkit_web_view_reload)                                                                                          \
    X(webkit_web_view_stop_loading)                                                                                    \
    X(webkit_web_view_go_back)                                                                                         \
    X(webkit_web_view_go_forward)                                                                                      \
    X(webkit_web_view_can_go_back)                                                                                     \
    X(webkit_web_view_can_go_forward)                                                                                  \
    X(webkit_web_view_get_title)                                                                                       \
    X(webkit_web_view_get_uri)                                                                                         \
    X(webkit_web_view_is_loading)                                                                                      \
    X(webkit_web_view_get_estimated_load_progress)                                                                     \
    X(webkit_web_view_evaluate_javascript)                                                                             \
    X(webkit_web_view_evaluate_javascript_finish)                                                                      \
    X(webkit_uri_request_new)                                                                                          \
    X(webkit_uri_request_get_uri)                                                                                      \
    X(webkit_uri_request_get_http_headers)                                                                             \
    X(webkit_navigation_policy_decision_get_navigation_action)                                                         \
    X(webkit_navigation_action_get_request)                                                                            \
    X(webkit_policy_decision_use)                                                                                      \
    X(webkit_policy_decision_ignore)                                                                                   \
    X(webkit_network_error_quark)                                                                                      \
    X(jsc_value_is_undefined)                                                                                          \
    X(jsc_value_to_json)                                                                                               \
    X(soup_message_headers_replace)

constexpr const char* kLibraryName = "libwebkit2gtk-4.1.so.0";

struct WebKitLibrary {
#define QUILLORA_DECLARE(name) decltype(&::name) name = nullptr;
    QUILLORA_WEBKIT_FUNCTIONS(QUILLORA_DECLARE)
#undef QUILLORA_DECLARE
};

// Loaded once per process and never unloaded (WebKit keeps threads and GLib types of its own).
// Null, said once in the log, when the library or one of its functions is missing.
const WebKitLibrary* webkit() {
    static const WebKitLibrary* loaded = []() -> const WebKitLibrary* {
        void* handle = ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            core::log(std::string("The web engine could not be loaded: ") + (why ? why : kLibraryName) +
                      "; web pages show nothing");
            return nullptr;
        }
        auto* library = new WebKitLibrary;
        bool complete = true;
#define QUILLORA_RESOLVE(name)                                                                                         \
    library->name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name));                                       \
    if (!library->name) {                                                                                              \
        core::log(std::string("The web engine lacks ") + #name + "; web pages show nothing");                          \
        complete = false;                                                                                              \
    }
        QUILLORA_WEBKIT_FUNCTIONS(QUILLORA_RESOLVE)
#undef QUILLORA_RESOLVE
        if (complete) return library;
        delete library;
        return nullptr;
    }();
    return loaded;
}

const WebKitLibrary& lib() { return *webkit(); }

constexpr const char* kErrorDomain = "web.WebView";

core::Error errorFrom(const GError* error) {
    if (!error) return core::Error{kErrorDomain, 0, "The web view failed without a reason.", {}};
    return core::Error{g_quark_to_string(error->domain), error->code, error->message ? error->message : "", {}};
}

std::string text(const char* s) { return s ? s : ""; }

} // namespace

bool WebKitWebViewEngine::available() { return webkit() != nullptr; }

struct WebKitWebViewEngine::Impl {
    std::weak_ptr<WebView> view;
    WebKitWebView* webView = nullptr;
    GCancellable* cancellable = nullptr;
    // The view the widget was handed to the host for; only its address is used, since detaching
    // may happen while the view is being destroyed.
    const ui::View* attachedTo = nullptr;
    // A failed load is followed by a "finished" event; that one is not a finish.
    bool failed = false;

    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                   gpointer data) {
        auto* self = static_cast<Impl*>(data);
        if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
        auto view = self->view.lock();
        if (!view) return FALSE;
        WebKitNavigationAction* nav =
            lib().webkit_navigation_policy_decision_get_navigation_action(
                reinterpret_cast<WebKitNavigationPolicyDecision*>(decision));
        std::string uri = text(lib().webkit_uri_request_get_uri(lib().webkit_navigation_action_get_request(nav)));
        NavigationAction action{net::URLRequest(net::URL::parse(uri)), uri};
        // The decision may come later; WebKit waits while we hold a reference.
        std::shared_ptr<WebKitPolicyDecision> held(static_cast<WebKitPolicyDecision*>(g_object_ref(decision)),
                                                   [](WebKitPolicyDecision* d) { g_object_unref(d); });
        view->decidePolicy(action, [held](NavigationActionPolicy policy) {
            if (policy == NavigationActionPolicy::allow) lib().webkit_policy_decision_use(held.get());
            else lib().webkit_policy_decision_ignore(held.get());
        });
        return TRUE;
    }
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        auto view = self->view.lock();
        if (!view) return;
        if (event == WEBKIT_LOAD_STARTED) {
            self->failed = false;
            view->reportStart();
        } else if (event == WEBKIT_LOAD_FINISHED && !self->failed) {
            view->reportFinish();
        }
    }
    // Returning TRUE keeps WebKit's own error page away, so the previous content stays.
    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        self->failed = true;
        // A navigation replaced by another one, or stopped on purpose, is not a failure.
        if (g_error_matches(error, lib().webkit_network_error_quark(), WEBKIT_NETWORK_ERROR_CANCELLED)) return TRUE;
        if (auto view = self->view.lock()) view->reportFailure(errorFrom(error));
        return TRUE;
    }

    struct ScriptCall {
        std::weak_ptr<WebKitWebViewEngine> engine;
        ScriptCompletion completion;
    };
    static void onScriptDone(GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<ScriptCall> call(static_cast<ScriptCall*>(data));
        GError* error = nullptr;
        JSCValue* value = lib().webkit_web_view_evaluate_javascript_finish(reinterpret_cast<WebKitWebView*>(source), result, &error);
        core::Expected<core::Value> out = core::Value();
        if (!value) {
            out = errorFrom(error);
        } else if (!lib().jsc_value_is_undefined(value)) {
            gchar* json = lib().jsc_value_to_json(value, 0);
            if (json) out = core::json::read(json, core::json::AllowFragments);
            g_free(json);
        }
        bool cancelled = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        if (error) g_error_free(error);
        if (value) g_object_unref(value);
        if (cancelled || !call->engine.lock() || !call->completion) return;
        call->completion(std::move(out));
    }
};

WebKitWebViewEngine::WebKitWebViewEngine(std::weak_ptr<WebView> view) : impl_(std::make_unique<Impl>()) {
    impl_->view = std::move(view);
    impl_->webView = reinterpret_cast<WebKitWebView*>(g_object_ref_sink(lib().webkit_web_view_new()));
    impl_->cancellable = g_cancellable_new();
    g_signal_connect(impl_->webView, "decide-policy", G_CALLBACK(&Impl::onDecidePolicy), impl_.get());
    g_signal_connect(impl_->webView, "load-changed", G_CALLBACK(&Impl::onLoadChanged), impl_.get());
    g_signal_connect(impl_->webView, "load-failed", G_CALLBACK(&Impl::onLoadFailed), impl_.get());
}

WebKitWebViewEngine::~WebKitWebViewEngine() {
    g_cancellable_cancel(impl_->cancellable);
    g_signal_handlers_disconnect_by_data(impl_->webView, impl_.get());
    if (impl_->attachedTo)
        if (auto* host = ui::NativeViewHost::current()) host->detachNativeView(*impl_->attachedTo);
    gtk_widget_destroy(reinterpret_cast<GtkWidget*>(impl_->webView));
    g_object_unref(impl_->webView);
    g_object_unref(impl_->cancellable);
}

void WebKitWebViewEngine::load(const net::URLRequest& request) {
    WebKitURIRequest* uri = lib().webkit_uri_request_new(request.url->absoluteString().c_str());
    if (SoupMessageHeaders* headers = lib().webkit_uri_request_get_http_headers(uri))
        for (const auto& [name, value] : request.allHTTPHeaderFields)
            lib().soup_message_headers_replace(headers, name.c_str(), value.c_str());
    lib().webkit_web_view_load_request(impl_->webView, uri);
    g_object_unref(uri);
}

void WebKitWebViewEngine::loadHTMLString(const std::string& html, const std::string& baseURL) {
    lib().webkit_web_view_load_html(impl_->webView, html.c_str(), baseURL.c_str());
}

void WebKitWebViewEngine::reload() { lib().webkit_web_view_reload(impl_->webView); }
void WebKitWebViewEngine::stopLoading() { lib().webkit_web_view_stop_loading(impl_->webView); }
void WebKitWebViewEngine::goBack() { lib().webkit_web_view_go_back(impl_->webView); }
void WebKitWebViewEngine::goForward() { lib().webkit_web_view_go_forward(impl_->webView); }
bool WebKitWebViewEngine::canGoBack() const { return lib().webkit_web_view_can_go_back(impl_->webView); }
bool WebKitWebViewEngine::canGoForward() const { return lib().webkit_web_view_can_go_forward(impl_->webView); }
std::string WebKitWebViewEngine::title() const { return text(lib().webkit_web_view_get_title(impl_->webView)); }
std::string WebKitWebViewEngine::urlText() const { return text(lib().webkit_web_view_get_uri(impl_->webView)); }
bool WebKitWebViewEngine::isLoading() const { return lib().webkit_web_view_is_loading(impl_->webView); }
double WebKitWebViewEngine::estimatedProgress() const { return lib().webkit_web_view_get_estimated_load_progress(impl_->webView); }

void WebKitWebViewEngine::evaluateJavaScript(const std::string& script, ScriptCompletion completion) {
    auto* call = new Impl::ScriptCall{weak_from_this(), std::move(completion)};
    lib().webkit_web_view_evaluate_javascript(impl_->webView, script.c_str(), static_cast<gssize>(script.size()), nullptr,
                                        nullptr, impl_->cancellable, &Impl::onScriptDone, call);
}

// The widget goes to the host the first time the view is in a window and stays there until the
// engine goes. Leaving the window does not take it back: the host hides a widget whose view is not
// in its window, checking on every frame. So the page does not depend on hearing that the view came
// back, which a move between two superviews of the same window does not announce (the view is told
// it left the window, and nothing more).
void WebKitWebViewEngine::windowChanged(bool inWindow) {
    auto* host = ui::NativeViewHost::current();
    auto view = impl_->view.lock();
    if (!host || !view || !inWindow || impl_->attachedTo) return;
    host->attachNativeView(view, impl_->webView);
    impl_->attachedTo = view.get();
}

} // namespace web
