#include "service/SampleService.h"

#include "platform/core/Files.h"
#include "platform/core/Json.h"
#include "platform/core/Log.h"
#include "platform/core/TextConversions.h"
#include "platform/dispatch/Clock.h"
#include "service/AboutPage.h"
#include "service/ContentStore.h"
#include "service/ErrorCodes.h"
#include "service/RequestVerifier.h"
#include "service/SeedData.h"

#include <httplib.h>

#include <algorithm>
#include <sys/socket.h>

namespace service {

namespace {

constexpr const char* kJsonType = "application/json; charset=utf-8";

// The app joins its base URL and a path with nothing in between, and both carry a slash, so paths
// arrive as "//index.php/..."; a run of slashes means one.
std::string collapseSlashes(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    return out;
}

// The form-encoded body (and any query) as the text parameters the signature covers. A repeated
// name keeps its first value.
core::Dictionary parameters(const httplib::Request& request) {
    core::Dictionary params;
    for (const auto& [name, value] : request.params) {
        if (!params.contains(name)) params.set(name, core::Value(value));
    }
    return params;
}

std::string textParameter(const core::Dictionary& params, std::string_view name) {
    const core::Value* value = params.find(name);
    const std::string* text = value ? value->string() : nullptr;
    return text ? *text : std::string();
}

void sendJson(httplib::Response& response, const core::Value& answer, int httpStatus = 200) {
    auto body = core::json::write(answer);
    response.status = httpStatus;
    response.set_content(body ? *body : std::string(R"({"status":0,"message":"服务器内部错误","errcode":50000,"data":{}})"),
                         kJsonType);
}

core::Value success(core::Value data) {
    return core::Dictionary{{"status", 1}, {"message", "请求成功"}, {"errcode", errcode::kNone},
                            {"rbac_status", 1}, {"data", std::move(data)}};
}

core::Value failure(std::int64_t code, std::string message) {
    return core::Dictionary{{"status", 0}, {"message", std::move(message)}, {"errcode", code}, {"data", core::Dictionary{}}};
}

} // namespace

core::Expected<std::unique_ptr<SampleService>> SampleService::create(ServiceOptions options) {
    auto store = ContentStore::open(options.database, seedJson());
    if (!store) return store.error();
    std::unique_ptr<SampleService> service(new SampleService(std::move(options), std::move(*store)));
    const auto& o = service->options_;
    if (o.port == 0) {
        service->port_ = service->server_->bind_to_any_port(o.host); // -1 on failure
    } else if (service->server_->bind_to_port(o.host, o.port)) {
        service->port_ = o.port;
    }
    if (service->port_ <= 0) {
        return core::Error{"service.http", 1, "cannot listen on " + o.host + ":" + std::to_string(o.port), {}};
    }
    return service;
}

SampleService::SampleService(ServiceOptions options, std::unique_ptr<ContentStore> store)
    : options_(std::move(options)), store_(std::move(store)), server_(std::make_unique<httplib::Server>()) {
    configureServer();
}

SampleService::~SampleService() {
    stop();
    if (thread_.joinable()) thread_.join();
}

void SampleService::configureServer() {
    // The library's default also sets SO_REUSEPORT, which would let a second service share the
    // port and take half of the app's requests; a port in use must be an error instead.
    server_->set_socket_options([](int socket) {
        int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    // Every path goes to one handler per method, which looks at the path with its slashes collapsed.
    server_->Post(R"(/.*)", [this](const httplib::Request& q, httplib::Response& r) { answerPost(q, r); });
    server_->Get(R"(/.*)", [this](const httplib::Request& q, httplib::Response& r) { answerGet(q, r); });
    server_->set_logger([](const httplib::Request& q, const httplib::Response& r) {
        core::log(q.method + " " + q.path + " -> " + std::to_string(r.status));
    });
}

bool SampleService::run() {
    // stop() may come from another thread at any moment; see stop() for the other half.
    if (stopRequested_) return true;
    serving_ = true;
    bool ok = stopRequested_ || server_->listen_after_bind();
    serving_ = false;
    return ok;
}

void SampleService::start() {
    thread_ = std::thread([this] { run(); });
}

void SampleService::stop() {
    stopRequested_ = true;
    // run() publishes serving_ before it reads stopRequested_, and this reads serving_ after
    // publishing stopRequested_: either run() sees the request and never listens, or this waits
    // until the server is listening, so the stop below cannot fall before the listen.
    while (serving_ && !server_->is_running()) std::this_thread::yield();
    server_->stop();
}

std::string SampleService::origin(const httplib::Request& request) const {
    std::string host = request.get_header_value("Host");
    if (host.empty()) host = options_.host + ":" + std::to_string(port_);
    return "http://" + host;
}

void SampleService::answerPost(const httplib::Request& request, httplib::Response& response) const {
    const std::string path = collapseSlashes(request.path);
    const bool isSwitch = path == kSwitchPath;
    if (!isSwitch && path != kTagListPath && path != kContentListPath) {
        sendJson(response, failure(errcode::kNotFound, "接口不存在"), 404);
        return;
    }

    const core::Dictionary params = parameters(request);
    auto header = [&request](std::string_view name) -> std::optional<std::string> {
        std::string key(name);
        if (!request.has_header(key)) return std::nullopt;
        return request.get_header_value(key);
    };
    const double now = dispatch::Clock::current().wallTime();
    if (auto rejection = RequestVerifier::verify(header, params, isSwitch ? kSwitchSalt : "", now)) {
        core::log("refused " + request.path + ": " + rejection->message);
        sendJson(response, failure(rejection->errcode, rejection->message));
        return;
    }

    if (isSwitch) {
        // The switch itself answers with status 1; whether this app may use the service is data.status.
        const bool known = textParameter(params, "asname") == kAppShortName;
        sendJson(response, success(core::Dictionary{{"status", known ? 1 : 0},
                                                    {"url", known ? origin(request) : std::string()},
                                                    {"message", known ? "" : "该应用暂未开通服务，请安装官方版本"}}));
        return;
    }

    if (path == kTagListPath) {
        auto groups = store_->tagGroups();
        if (!groups) {
            core::log("reading the tag groups failed: " + groups.error().description);
            sendJson(response, failure(errcode::kServer, "服务器繁忙，请稍后再试"));
            return;
        }
        core::Array list;
        for (const auto& group : *groups) {
            core::Array tags;
            for (const auto& tag : group.tags) tags.emplace_back(core::Dictionary{{"title", tag}});
            list.emplace_back(core::Dictionary{{"title", group.title}, {"color", group.color}, {"content", std::move(tags)}});
        }
        sendJson(response, success(core::Dictionary{{"about_url", kAboutPath}, {"list", std::move(list)}}));
        return;
    }

    // The app sends in "pages" how many questions it already holds (0 first, then the now_page of
    // the last answer, or the number of answers it keeps), and stops asking once that reaches count.
    QuestionQuery query;
    query.offset = std::max<std::int64_t>(0, core::longLongValue(textParameter(params, "pages")));
    query.limit = kPageSize;
    query.text = textParameter(params, "search_text");
    query.tag = textParameter(params, "search_tag");
    auto page = store_->questions(query);
    if (!page) {
        core::log("reading the questions failed: " + page.error().description);
        sendJson(response, failure(errcode::kServer, "服务器繁忙，请稍后再试"));
        return;
    }
    core::Array list;
    for (const auto& question : page->questions) {
        list.emplace_back(core::Dictionary{{"title", question.title}, {"content", question.answer}});
    }
    const auto nowPage = query.offset + static_cast<std::int64_t>(page->questions.size());
    sendJson(response, success(core::Dictionary{{"count", page->total}, {"now_page", nowPage}, {"list", std::move(list)}}));
}

void SampleService::answerGet(const httplib::Request& request, httplib::Response& response) const {
    const std::string path = collapseSlashes(request.path);
    if (path == kAboutPath) {
        response.set_content(AboutPage::html(origin(request), kAboutPath, kJqueryPath, kIconPath), "text/html; charset=utf-8");
        return;
    }
    if (path == kIconPath) {
        response.set_content(std::string(AboutPage::iconSvg()), "image/svg+xml");
        return;
    }
    if (path == kJqueryPath) {
        if (auto script = core::files::read(options_.jqueryFile)) {
            response.set_content(std::string(script->begin(), script->end()), "application/javascript; charset=utf-8");
            return;
        }
        core::log("cannot read " + options_.jqueryFile + "; is libjs-jquery installed?");
    }
    response.status = 404;
    response.set_content("Not Found", "text/plain; charset=utf-8");
}

} // namespace service
