#include "network/Api.h"

#include "Commons/Controller/MWRootController.h"
#include "Commons/Controller/ScrollViewRegistry.h"
#include "Commons/TableView/MWScrollView.h"
#include "Commons/TableView/MWTableView.h"
#include "platform/core/Paths.h"
#include "ui/c.h"

namespace network {

std::shared_ptr<MWMainListModel>& Api::currentMainList() {
    static auto* current = new std::shared_ptr<MWMainListModel>();
    return *current;
}

const std::string& Api::documentsPath() {
    static const std::string path = core::paths::documents();
    return path;
}

void Api::rememberMainList(const std::shared_ptr<MWMainListModel>& model, const core::Dictionary& answer,
                           const Success<MWMainListModel>& next) {
    currentMainList() = model;
    if (next) next(model, answer);
}

void Api::tagList(const std::string& path, const core::Dictionary& params, Success<MWMainListModel> success, Failure failure,
                  bool showError) {
    request<MWMainListModel>(path, params, std::move(success), std::move(failure), showError);
}

void Api::contentList(long pages, const std::optional<std::string>& searchText, const std::optional<std::string>& searchTag,
                      Success<QUAnswerListModel> success, Failure failure) {
    core::Dictionary params{{"pages", std::to_string(pages)}};
    if (searchText) params.set("search_text", *searchText);
    if (searchTag) params.set("search_tag", *searchTag);
    request<QUAnswerListModel>(kContentListPath, params, std::move(success), std::move(failure), true);
}

void Api::send(const std::string& path, const core::Dictionary& params, std::function<std::shared_ptr<NXModel>()> makeModel,
               MWNetwork::Success success, Failure failure, bool showError) {
    // A pull-to-refresh in progress on any page gets no full-window overlay on top of it.
    const bool showLoading = kit::isEveryRegisteredScrollViewIdle();
    std::weak_ptr<kit::MWRootController> page = controller;
    MWNetwork::shared()->request(
        path, params, nullptr, showError, showLoading,
        [page, makeModel, success](const std::shared_ptr<NXModel>&, const core::Dictionary& answer) {
            auto model = makeModel();
            // An answer without a data object fills nothing and still reaches the page.
            if (auto data = kit::c::valueAtKeyPath(answer, {"data"})) model->reloadModel(std::optional<core::Value>(*data));
            if (success) success(model, answer);
            if (auto livePage = page.lock()) {
                livePage->scrollView()->updateEmptyState(true);
                livePage->layoutPage();
                livePage->reloadView();
                if (livePage->tableview()) livePage->tableview()->reloadData();
                livePage->layoutPage();
            }
        },
        std::move(failure));
}

} // namespace network
