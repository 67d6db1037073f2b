#include "network/MWNetwork.h"

#include "ui/NXAlertController.h"
#include "Tools/LoadingView/LoadingView.h"
#include "network/MWUUID.h"
#include "network/NXServer.h"
#include "network/NXUserDefault.h"
#include "network/RequestLog.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/TextConversions.h"
#include "platform/ui/Window.h"
#include "ui/HUDIndicator.h"
#include "ui/c.h"

#include <cstdlib>

#ifndef QUILLORA_API_BASE_URL
#error "QUILLORA_API_BASE_URL must be defined by the build"
#endif

namespace network {

namespace {

// The answer's "status" read as the service means it: its text form's leading number, so 1, "1"
// and true all count as 1.
std::int32_t statusOf(const core::Dictionary& answer) {
    const core::Value* status = answer.find("status");
    return status ? core::intValue(core::description(*status)) : 0;
}

constexpr const char* kSwitchPath = "/index.php/Index/Index/index";

const core::Dictionary* dataOf(const core::Dictionary& answer) {
    const core::Value* data = answer.find("data");
    return data ? data->dictionary() : nullptr;
}

// The switch hands out the base URL of every later request, so only an absolute http(s) URL
// with a host is taken.
bool isUsableBaseURL(const std::string& text) {
    auto url = net::URL::parse(text);
    if (!url || !url->scheme() || !url->host() || url->host()->empty()) return false;
    const std::string& scheme = *url->scheme();
    return scheme == "http" || scheme == "https";
}

} // namespace

const std::shared_ptr<http::SessionManager>& serviceManager() {
    static auto* manager = new std::shared_ptr<http::SessionManager>(MWNetwork::makeServiceManager());
    return *manager;
}

const std::shared_ptr<http::SessionManager>& serverSwitchManager() {
    static auto* manager = new std::shared_ptr<http::SessionManager>(MWNetwork::makeSessionConfiguration());
    return *manager;
}

std::shared_ptr<MWNetwork> MWNetwork::shared() {
    static auto* instance = new std::shared_ptr<MWNetwork>(core::make<MWNetwork>());
    return *instance;
}

MWNetwork::MWNetwork() : our_serverURL(QUILLORA_API_BASE_URL), serverURL("https://open.example.invalid/") {}

void MWNetwork::init() {
    core::Object::init();
    loadingView_ = core::make<kit::LoadingView>(gfx::Rect{});
}

std::function<void(int)>& MWNetwork::exitProcess() {
    static auto* exit = new std::function<void(int)>([](int status) { std::exit(status); });
    return *exit;
}

net::HTTPHeaders MWNetwork::defaultHeaders() {
    auto info = core::Bundle::infoDictionary();
    const core::Value* version = info ? info->find(core::Bundle::kShortVersion) : nullptr;
    return net::HTTPHeaders{{"Accept", "application/json"},
                            {"version", version ? core::description(*version) : std::string()},
                            {"deviceid", MWUUID::getUUID()},
                            {"platformtype", "2"},
                            {"channel", "1000"}};
}

std::shared_ptr<http::SessionManager> MWNetwork::makeSessionConfiguration() {
    auto configuration = net::URLSessionConfiguration::defaultConfiguration();
    configuration.httpAdditionalHeaders = http::SessionManager::defaultHTTPHeaders();
    configuration.timeoutIntervalForRequest = 4.0;
    configuration.timeoutIntervalForResource = kSwitchDeadline;
    configuration.maximumBodyLength = kMaximumBodyLength;
    return http::SessionManager::create(configuration, http::SessionDelegate::create());
}

std::shared_ptr<http::SessionManager> MWNetwork::makeServiceManager() {
    auto configuration = net::URLSessionConfiguration::defaultConfiguration();
    configuration.httpAdditionalHeaders = http::SessionManager::defaultHTTPHeaders();
    configuration.timeoutIntervalForResource = kRequestDeadline;
    configuration.maximumBodyLength = kMaximumBodyLength;
    return http::SessionManager::create(configuration, http::SessionDelegate::create());
}

core::Dictionary MWNetwork::signParameters(const core::Dictionary& params, const std::string& salt) const {
    core::Dictionary signedParams = params;
    std::string timestamp = MWUUID::GETCurrentTimestamp();
    if (timestamp.empty()) {
        signedParams.erase("random_time");
    } else {
        signedParams.set("random_time", timestamp);
    }
    signedParams.set("sign", MWUUID::CreateMD5SignForPayWithDict(signedParams, salt));
    return signedParams;
}

void MWNetwork::beginShowing(bool showLoading) {
    if (showTimes == 0 && showLoading) {
        if (auto window = kit::c::window()) window->addSubview(loadingView_);
        loadingView_->loadingView()->startIndicator();
    }
    ++showTimes;
}

void MWNetwork::endShowing() {
    if (--showTimes == 0) {
        loadingView_->loadingView()->stopIndicator();
        loadingView_->removeFromSuperview();
    }
}

void MWNetwork::request(const std::string& path, const core::Dictionary& params, const std::shared_ptr<NXModel>& model,
                        bool showError, bool showLoading, Success success, Failure failure) {
    beginShowing(showLoading);
    core::Dictionary signedParams = signParameters(params, "");
    // The base and the path are joined as they are; no URL at all (status 1 without a stored base)
    // fails like a transport failure.
    std::string url = NXServer::shared()->getUrl().value_or("") + path;
    auto self = std::static_pointer_cast<MWNetwork>(shared_from_this());
    serviceManager()
        ->request(url, http::HTTPMethod::post, signedParams, http::URLEncoding::default_(), defaultHeaders())
        ->responseJSON([self, path, model, showError, success, failure](const http::DataResponse<core::Value>& response) {
            logIfFailed(path, response);
            self->handleAnswer(response, model, showError, success, failure);
        });
}

void MWNetwork::handleAnswer(const http::DataResponse<core::Value>& response, const std::shared_ptr<NXModel>& model,
                             bool showError, const Success& success, const Failure& failure) {
    if (!response.result().isSuccess()) {
        if (failure) failure(core::make<MWModel>(), core::Dictionary());
        fetchServer([] {});
    } else if (const core::Dictionary* answer = response.result().value()->dictionary()) {
        if (statusOf(*answer) != 1) {
            auto envelope = core::make<MWModel>();
            envelope->reloadModel(*answer);
            if (failure) failure(envelope, *answer);
            if (showError) kit::HUDIndicator::showInfoWithMessage(envelope->message);
        } else {
            auto rbac = kit::c::valueAtKeyPath(*answer, {"rbac_status"});
            NXUserDefault::shared().setValue(core::Value(rbac ? core::description(*rbac) : std::string()), "active_pas");
            if (model) model->reloadModel(std::optional<core::Value>(answer->find("data") ? *answer->find("data") : core::Value()));
            if (success) success(model, *answer);
        }
    } else {
        // JSON that is not an object: the caller still hears of it, or a page pulled to refresh
        // would stay refreshing.
        if (failure) failure(core::make<MWModel>(), core::Dictionary());
    }
    endShowing();
}

void MWNetwork::fetchServer(Completion completion) {
    auto model = core::make<NXServerModel>();
    core::Dictionary params{{"asname", NXServer::shared()->getAsName()}};
    auto self = std::static_pointer_cast<MWNetwork>(shared_from_this());
    requestServerSwitch(
        params, model,
        [self, model, completion](const std::shared_ptr<NXModel>&, const core::Dictionary& answer) {
            self->applyServerAnswer(model, answer, completion);
        },
        [self, completion](const std::shared_ptr<MWModel>&, const core::Dictionary&) { self->networkUnavailableNotice(completion); },
        [self, completion] { self->networkUnavailableNotice(completion); });
}

void MWNetwork::requestServerSwitch(const core::Dictionary& params, const std::shared_ptr<NXServerModel>& model, Success onSuccess,
                                    Failure onFailure, Completion onTransportFailure) {
    beginShowing(true);
    core::Dictionary signedParams = signParameters(params, kSwitchSalt);
    auto self = std::static_pointer_cast<MWNetwork>(shared_from_this());
    serverSwitchManager()
        ->request(NXServer::shared()->getChangeUrl(), http::HTTPMethod::post, signedParams, http::URLEncoding::default_(),
                  defaultHeaders())
        ->responseJSON([self, model, onSuccess, onFailure, onTransportFailure](const http::DataResponse<core::Value>& response) {
            logIfFailed(kSwitchPath, response);
            if (!response.result().isSuccess()) {
                onTransportFailure();
            } else if (const core::Dictionary* answer = response.result().value()->dictionary()) {
                const core::Dictionary* data = dataOf(*answer);
                if (statusOf(*answer) != 1 || !data) {
                    // A success without its data object cannot say which server to use: it
                    // counts as a failure of the switch rather than blocking every request.
                    auto envelope = core::make<MWModel>();
                    if (data) envelope->reloadModel(*data);
                    onFailure(envelope, *answer);
                } else {
                    model->reloadModel(*data);
                    onSuccess(model, *answer);
                }
            } else {
                // Valid JSON that is not an object says nothing about the server: without this
                // the home page would wait for the switch for ever.
                onFailure(core::make<MWModel>(), core::Dictionary());
            }
            self->endShowing();
        });
}

void MWNetwork::applyServerAnswer(const std::shared_ptr<NXServerModel>& model, const core::Dictionary& answer,
                                  const Completion& completion) {
    if (const core::Dictionary* data = dataOf(answer)) model->reloadModel(*data);
    if (!model->url.empty() && isUsableBaseURL(model->url)) NXServer::shared()->setDefaultUrl(model->url);
    if (model->status != 1) {
        kit::NXAlertController::show({"取消", "确定"},
                                     [](long index) {
                                         if (index == 1) exitProcess()(0);
                                     },
                                     model->message, nullptr, "提示", 1);
    }
    NXServer::shared()->setServerStatus(model->status);
    if (completion) completion();
}

void MWNetwork::networkUnavailableNotice(const Completion& completion) {
    kit::HUDIndicator::showInfoWithMessage(std::string(kNetworkUnavailable));
    NXServer::shared()->setServerStatus(1);
    if (completion) completion();
}

} // namespace network
