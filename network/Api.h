#pragma once
// Api: the per-page front through which the screens ask the service for data. It decides
// whether the loading overlay is shown (only when no page's pull-to-refresh control is busy),
// sends the request through MWNetwork, types the answer's `data` into the model the operation
// promises, hands it to the page's closure and then refreshes the page. It refers to its page
// weakly: answers that arrive after the page has gone still reach the closures but refresh nothing.

#include "network/MWNetwork.h"
#include "network/ServerModels.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kit {
class MWRootController;
}

namespace network {

class Api : public core::Object {
    QUILLORA_CLASS(Api)

    static constexpr const char* kTagListPath = "/index.php/AppApi/Index/index_tag_list";
    static constexpr const char* kContentListPath = "/index.php/AppApi/Index/index_content_list";

    template <class T>
    using Success = std::function<void(const std::shared_ptr<T>& model, const core::Dictionary& answer)>;
    using Failure = MWNetwork::Failure;

    std::weak_ptr<kit::MWRootController> controller;

    template <class T>
    void request(const std::string& path, const core::Dictionary& params, Success<T> success, Failure failure, bool showError) {
        send(path, params, [] { return std::static_pointer_cast<NXModel>(core::make<T>()); },
             [success](const std::shared_ptr<NXModel>& model, const core::Dictionary& answer) {
                 if (success) success(std::static_pointer_cast<T>(model), answer);
             },
             std::move(failure), showError);
    }

    void tagList(const std::string& path, const core::Dictionary& params, Success<MWMainListModel> success, Failure failure,
                 bool showError);
    void contentList(long pages, const std::optional<std::string>& searchText, const std::optional<std::string>& searchTag,
                     Success<QUAnswerListModel> success, Failure failure);

    // Keeps the model as the current tag list, then calls `next`.
    static void rememberMainList(const std::shared_ptr<MWMainListModel>& model, const core::Dictionary& answer,
                                 const Success<MWMainListModel>& next);
    static std::shared_ptr<MWMainListModel>& currentMainList();
    // The folder of the user's documents (the profile picture lives under it).
    static const std::string& documentsPath();

private:
    void send(const std::string& path, const core::Dictionary& params, std::function<std::shared_ptr<NXModel>()> makeModel,
              MWNetwork::Success success, Failure failure, bool showError);
};

} // namespace network
