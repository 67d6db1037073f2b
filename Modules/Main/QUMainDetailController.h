#pragma once
// The answer list and search page. Opened with a tag title (`mContent`) it lists that tag's
// questions with their suggested answers at once; opened without one it is a search page that
// takes the focus, shows the search history and loads nothing until the user searches. A search
// with a text turns a tag page into a search page for good.
//
// Two tables share the area under the search field, one visible at a time: the history table
// (`resultTableView`) while the field is being edited, the answer table (the base page's
// `tableview`, one section per answer: question row, answer row) otherwise. Answers come page by
// page; pulling the list down starts again, scrolling to its end loads the next page. Main thread
// only.
#include "Commons/Controller/MWRootController.h"
#include "Commons/TableView/MWTableView.h"
#include "network/Api.h"
#include "network/ServerModels.h"
#include "platform/ui/TextFieldDelegate.h"
#include "ui/QUMainSearchView.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kit {

class QUMainDetailController : public MWRootController, public ui::TextFieldDelegate {
    QUILLORA_CLASS(QUMainDetailController)

    // `content` is the tag title (tag mode); nothing opens the page in search mode.
    explicit QUMainDetailController(std::optional<std::string> content);
    void init() override;

    const std::shared_ptr<network::QUAnswerListModel>& answerListModel() const { return answerListModel_; }
    // The answers held, in the service's order; answer i is section i of the answer table.
    const std::vector<std::shared_ptr<network::QUAnswerModel>>& anserList() const { return anserList_; }
    const std::shared_ptr<QUMainSearchView>& searchView() const { return searchView_; }
    // The search history as last read, newest first.
    const std::vector<std::string>& result() const { return result_; }
    const std::shared_ptr<MWTableView>& resultTableView() const { return resultTableView_; }
    // The tag title in tag mode; nothing in search mode.
    const std::optional<std::string>& mContent() const { return mContent_; }
    const std::shared_ptr<network::Api>& api() const { return api_; }

    void viewDidLoad() override;
    void layoutPage() override;
    // Reloads the answer table.
    void reloadView() override;
    // true (the pull-down header, the refresh notification) starts the list again; false (the
    // load-more footer) asks for the next page.
    void loadData(bool refresh) override;

    // The content list's success callback: keeps the model, adds its answers (after emptying the
    // list when `reset`) and ends the refresh controls. The page's Api then refreshes the views.
    void handleAnswerPage(const std::shared_ptr<network::QUAnswerListModel>& model, bool reset);
    // Stores the field's text in the history, shows the answer table and reloads the list.
    void runSearch();
    // The search bar's action.
    void searchClickWithBtn(ui::Button& sender);
    // Asks whether to delete the history; only the second button ("确定") deletes it.
    void confirmClearHistory();
    void clearHistory(long index);

    // Tables (the history table is told apart by identity).
    long numberOfSectionsInTableView(ui::TableView& tableView) override;
    long numberOfRowsInSection(ui::TableView& tableView, long section) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    std::optional<double> heightForHeaderInSection(ui::TableView& tableView, long section) override;
    std::shared_ptr<ui::View> viewForHeaderInSection(ui::TableView& tableView, long section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& tableView,
                                                             const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;

    // The search field.
    bool textFieldShouldBeginEditing(ui::TextField& textField) override;
    bool textFieldShouldEndEditing(ui::TextField& textField) override;
    bool textFieldShouldReturn(ui::TextField& textField) override;

private:
    bool isHistory(const ui::TableView& tableView) const { return &tableView == resultTableView_.get(); }
    const std::string& searchText() const;
    static void parseAnswerList(const std::vector<std::shared_ptr<network::QUAnswerModel>>& list, bool reset,
                                std::vector<std::shared_ptr<network::QUAnswerModel>>& answers);
    void endRefreshingKeepingFooter();
    std::shared_ptr<ui::View> historyHeader();
    void showHistory(bool shown);
    std::weak_ptr<QUMainDetailController> weakSelf();
    double questionHeight(const std::string& title);
    double answerHeight(const std::string& content);

    std::shared_ptr<network::QUAnswerListModel> answerListModel_;
    std::vector<std::shared_ptr<network::QUAnswerModel>> anserList_;
    std::shared_ptr<QUMainSearchView> searchView_;
    std::vector<std::string> result_;
    std::shared_ptr<MWTableView> resultTableView_;
    std::optional<std::string> mContent_;
    std::shared_ptr<network::Api> api_ = core::make<network::Api>();
    // Measured text heights by text: every refresh reloads the table twice and each reload asks
    // for every row's height, while a text's height never changes. Emptied with the list.
    std::unordered_map<std::string, double> questionHeights_;
    std::unordered_map<std::string, double> answerHeights_;
};

} // namespace kit
