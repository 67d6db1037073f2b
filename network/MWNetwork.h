#pragma once
// MWNetwork: the one client of the app's web service.
//
// `request` sends a signed, form-encoded POST to the current base URL followed by a path, shows
// the shared loading overlay while requests are in flight, reads the JSON answer and hands the
// caller a filled model (status 1) or the answer envelope (any other status). `fetchServer` asks
// the server-switch service which base URL to use. Everything here runs on the main thread and
// every closure is called on the main queue.

#include "Libs/HTTPLayer/SessionManager.h"
#include "network/MWModel.h"
#include "network/NXModel.h"
#include "network/ServerModels.h"
#include "platform/core/Object.h"

#include <functional>
#include <memory>
#include <string>

namespace kit {
class LoadingView;
}

namespace network {

class MWNetwork : public core::Object {
    QUILLORA_CLASS(MWNetwork)

    using Success = std::function<void(const std::shared_ptr<NXModel>& model, const core::Dictionary& answer)>;
    using Failure = std::function<void(const std::shared_ptr<MWModel>& envelope, const core::Dictionary& answer)>;
    using Completion = std::function<void()>;

    static constexpr const char* kSwitchSalt = "MoVeOn*FiLeS3917";
    static constexpr const char* kNetworkUnavailable = "网络不可用，请检查网络";
    // Bounds on what one answer may cost: its decoded body, and the time from sending to the end.
    static constexpr std::int64_t kMaximumBodyLength = 8 * 1024 * 1024;
    static constexpr double kRequestDeadline = 30.0;
    static constexpr double kSwitchDeadline = 10.0;

    static std::shared_ptr<MWNetwork> shared();

    MWNetwork();
    void init() override;

    virtual void request(const std::string& path, const core::Dictionary& params, const std::shared_ptr<NXModel>& model,
                         bool showError, bool showLoading, Success success, Failure failure);
    virtual void fetchServer(Completion completion);

    // The parameters plus `random_time` and `sign`.
    core::Dictionary signParameters(const core::Dictionary& params, const std::string& salt) const;
    static net::HTTPHeaders defaultHeaders();
    // The manager of the server switch: the layer's default headers, a 4 s request time-out, the
    // body limit and a 10 s deadline.
    static std::shared_ptr<http::SessionManager> makeSessionConfiguration();
    // The manager of `request`: the default manager's configuration plus the body limit and a
    // 30 s deadline.
    static std::shared_ptr<http::SessionManager> makeServiceManager();
    void requestServerSwitch(const core::Dictionary& params, const std::shared_ptr<NXServerModel>& model, Success onSuccess,
                             Failure onFailure, Completion onTransportFailure);

    const std::string our_serverURL; // compiled-in base URL of the web service
    const std::string asnmae = "nx_quillora_release";
    const std::string serverURL;     // compiled-in; nothing reads it
    std::int64_t showTimes = 0;      // requests in flight
    const std::shared_ptr<kit::LoadingView>& loadingView() const { return loadingView_; }

    // Ends the process; tests replace it.
    static std::function<void(int status)>& exitProcess();

private:
    void beginShowing(bool showLoading);
    void endShowing();
    void handleAnswer(const http::DataResponse<core::Value>& response, const std::shared_ptr<NXModel>& model, bool showError,
                      const Success& success, const Failure& failure);
    void applyServerAnswer(const std::shared_ptr<NXServerModel>& model, const core::Dictionary& answer, const Completion& completion);
    void networkUnavailableNotice(const Completion& completion);

    std::shared_ptr<kit::LoadingView> loadingView_;
};

// The server switch's own manager (process-wide, created on first use).
const std::shared_ptr<http::SessionManager>& serverSwitchManager();
// The manager of the service's requests (process-wide, created on first use).
const std::shared_ptr<http::SessionManager>& serviceManager();

} // namespace network
