#include "Modules/Main/QUMainDetailController.h"

#include "Commons/Button/NXButton.h"
#include "Commons/TableView/DequeueCell.h"
#include "Modules/Main/Cells/QNDiscoverSearchResultHistoryCell.h"
#include "Modules/Main/Cells/QUMainAnswerCell.h"
#include "Modules/Main/Cells/QUMainProblemCell.h"
#include "network/NXUserDefault.h"
#include "network/QNStorge.h"
#include "platform/ui/Label.h"
#include "refresh/RefreshFooter.h"
#include "refresh/RefreshHeader.h"
#include "refresh/RefreshScrollView.h"
#include "ui/HUDToastIndicator.h"
#include "ui/NXAlertController.h"
#include "ui/Utility.h"
#include "ui/c.h"

namespace kit {

namespace {

// The page's background and the history table's: grey 245.
constexpr gfx::Color kPageGrey = c::colorF5F5F5();

} // namespace

QUMainDetailController::QUMainDetailController(std::optional<std::string> content)
    : searchView_(core::make<QUMainSearchView>(gfx::Rect{0, 20 * c::unit(), c::shortSide(), 126 * c::unit()})),
      result_(network::QNStorge::history()),
      resultTableView_(core::make<MWTableView>(gfx::Rect{}, ui::TableViewStyle::plain)),
      mContent_(std::move(content)) {}

std::weak_ptr<QUMainDetailController> QUMainDetailController::weakSelf() {
    return std::static_pointer_cast<QUMainDetailController>(shared_from_this());
}

void QUMainDetailController::init() {
    // The request front refers back to the page before the page loads its view.
    api_->controller = std::static_pointer_cast<MWRootController>(shared_from_this());
    MWRootController::init();
}

void QUMainDetailController::viewDidLoad() {
    MWRootController::viewDidLoad();
    navBar()->setBackgroundColor(c::colorFFFFFF());
    scrollView()->addSubview(searchView_);
    lvTitleLabel()->setText("话术案例");
    addTableHeaderRefresh();
    addTableFooterRefresh();
    const auto& field = searchView_->inputTextField();
    field->setUserInteractionEnabled(true);
    field->setReturnKeyType(ui::ReturnKeyType::search);
    view()->setBackgroundColor(kPageGrey);

    auto self = std::static_pointer_cast<QUMainDetailController>(shared_from_this());
    scrollView()->addSubview(resultTableView_);
    resultTableView_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
    resultTableView_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
    resultTableView_->setSeparatorColor(c::color999999());
    resultTableView_->setEstimatedRowHeight(0);
    resultTableView_->setEstimatedSectionHeaderHeight(0);
    resultTableView_->setEstimatedSectionFooterHeight(0);
    resultTableView_->setBackgroundColor(kPageGrey);
    field->setDelegate(std::weak_ptr<ui::TextFieldDelegate>(self));

    if (mContent_) {
        showHistory(false);
        // Carried out when the page first shows.
        postRefresh<QUMainDetailController>();
    } else {
        // The page is in no window yet; the field takes the focus when it arrives in one, and
        // beginning to edit shows the history.
        field->becomeFirstResponder();
    }
}

void QUMainDetailController::showHistory(bool shown) {
    resultTableView_->setHidden(!shown);
    if (tableview()) tableview()->setHidden(shown);
}

const std::string& QUMainDetailController::searchText() const { return searchView_->inputTextField()->text(); }

bool QUMainDetailController::textFieldShouldBeginEditing(ui::TextField&) {
    showHistory(true);
    return true;
}

bool QUMainDetailController::textFieldShouldEndEditing(ui::TextField&) { return true; }

bool QUMainDetailController::textFieldShouldReturn(ui::TextField&) {
    view()->endEditing(true);
    showHistory(false);
    runSearch();
    return true;
}

void QUMainDetailController::searchClickWithBtn(ui::Button&) { runSearch(); }

void QUMainDetailController::runSearch() {
    network::QNStorge::addHistory(searchText());
    result_ = network::QNStorge::history();
    scrollView()->endEditing(true);
    resultTableView_->reloadData();
    showHistory(false);
    if (mContent_ && !searchText().empty()) mContent_.reset();
    postRefresh<QUMainDetailController>();
}

void QUMainDetailController::reloadView() {
    if (tableview()) tableview()->reloadData();
}

void QUMainDetailController::layoutPage() {
    MWRootController::layoutPage();
    const double u = c::unit();
    const double s = c::shortSide();
    const double h = scrollView()->frame().height();
    const gfx::Rect below{0, 146 * u, s, h - 146 * u};
    if (tableview()) tableview()->setFrame(below);
    resultTableView_->setFrame(below);
}

void QUMainDetailController::loadData(bool refresh) {
    const bool reset = refresh;
    const std::string text = searchText();
    if (text.empty() && !mContent_) {
        HUDToastIndicator::showToastMessage("请输入要搜索的内容");
        answerListModel_.reset();
        anserList_.clear();
        questionHeights_.clear();
        answerHeights_.clear();
        if (tableview()) tableview()->reloadData();
        // A pull or a load-more that started this must not stay spinning; with nothing held and
        // nothing to load, the footer goes too.
        endRefreshing(0, 0);
        return;
    }
    long page = 0;
    if (mContent_ && answerListModel_ && !reset) {
        page = static_cast<long>(answerListModel_->now_page);
    } else {
        page = reset ? 0 : static_cast<long>(anserList_.size());
    }
    auto weak = weakSelf();
    api_->contentList(
        page, text, mContent_,
        [weak, reset](const std::shared_ptr<network::QUAnswerListModel>& model, const core::Dictionary&) {
            if (auto self = weak.lock()) self->handleAnswerPage(model, reset);
        },
        // The list stays as it was, but the controls stop: a pull left spinning would also keep
        // the loading overlay away from every later request of the app.
        [weak](const std::shared_ptr<network::MWModel>&, const core::Dictionary&) {
            if (auto self = weak.lock()) self->endRefreshingKeepingFooter();
        });
}

void QUMainDetailController::endRefreshingKeepingFooter() {
    if (!tableview()) return;
    if (auto footer = refresh::rf_footer(*tableview())) footer->endRefreshing();
    if (auto header = refresh::rf_header(*tableview())) header->endRefreshing();
}

void QUMainDetailController::handleAnswerPage(const std::shared_ptr<network::QUAnswerListModel>& model, bool reset) {
    answerListModel_ = model;
    if (reset) {
        questionHeights_.clear();
        answerHeights_.clear();
    }
    parseAnswerList(model->list, reset, anserList_);
    if (mContent_) {
        endRefreshing(static_cast<long>(model->now_page), static_cast<long>(model->count));
    } else {
        endRefreshing(static_cast<long>(anserList_.size()), static_cast<long>(model->count));
    }
}

void QUMainDetailController::parseAnswerList(const std::vector<std::shared_ptr<network::QUAnswerModel>>& list,
                                             bool reset, std::vector<std::shared_ptr<network::QUAnswerModel>>& answers) {
    if (reset) answers.clear();
    answers.insert(answers.end(), list.begin(), list.end());
}

// ---- Tables

long QUMainDetailController::numberOfSectionsInTableView(ui::TableView& tableView) {
    if (isHistory(tableView)) return 1;
    return static_cast<long>(anserList_.size());
}

long QUMainDetailController::numberOfRowsInSection(ui::TableView& tableView, long) {
    if (isHistory(tableView)) return static_cast<long>(result_.size());
    return 2;
}

std::optional<double> QUMainDetailController::heightForRowAtIndexPath(ui::TableView& tableView,
                                                                      const ui::IndexPath& indexPath) {
    const double u = c::unit();
    if (isHistory(tableView)) return 146 * u;
    const auto& answer = anserList_.at(static_cast<std::size_t>(indexPath.section));
    if (indexPath.row == 0) {
        // The first question of a tag list leaves room for the tag title above it.
        const bool withTag = mContent_ && indexPath.section == 0;
        return questionHeight(answer->title) + (withTag ? 190 : 70) * u;
    }
    return answerHeight(answer->content);
}

double QUMainDetailController::questionHeight(const std::string& title) {
    auto [at, added] = questionHeights_.try_emplace(title, 0);
    if (added) at->second = QUMainProblemCell::titleHeight(title);
    return at->second;
}

double QUMainDetailController::answerHeight(const std::string& content) {
    auto [at, added] = answerHeights_.try_emplace(content, 0);
    if (added) at->second = QUMainAnswerCell::answerHeight(content);
    return at->second;
}

std::optional<double> QUMainDetailController::heightForHeaderInSection(ui::TableView& tableView, long section) {
    const double u = c::unit();
    if (isHistory(tableView) && section == 0) return result_.empty() ? 0.0001 : 148 * u;
    return 20 * u;
}

std::shared_ptr<ui::View> QUMainDetailController::viewForHeaderInSection(ui::TableView& tableView, long section) {
    if (!isHistory(tableView)) return MWRootController::viewForHeaderInSection(tableView, section);
    result_ = network::QNStorge::history();
    if (section == 0 && !result_.empty()) return historyHeader();
    return core::make<ui::View>();
}

std::shared_ptr<ui::View> QUMainDetailController::historyHeader() {
    const double u = c::unit();
    const double s = c::shortSide();
    auto header = core::make<ui::View>(gfx::Rect{0, 0, s, 148 * u});
    header->setBackgroundColor(c::colorFFFFFF());

    auto label = core::make<ui::Label>(gfx::Rect{40 * u, 20 * u, s - 80 * u, 100 * u});
    label->setText("历史搜索");
    label->setTextColor(c::color4D4D4D());
    label->setFont(gfx::Font::systemFont(40 * u));
    header->addSubview(label);

    auto remove = core::make<NXButton>(gfx::Rect{s - 120 * u, 20 * u, 100 * u, 100 * u});
    // The picture is the button's background: stretched over the whole button, under its content.
    auto background = core::make<ui::ImageView>(remove->bounds());
    background->setImage(Utility::imageForToRectCenter({100, 100}, gfx::Image::named("discover_search_history_del.png")));
    remove->insertSubview(background, 0);
    auto weak = weakSelf();
    remove->setAction([weak](ui::Button&) {
        if (auto self = weak.lock()) self->confirmClearHistory();
    });
    header->addSubview(remove);

    auto rule = core::make<ui::View>(gfx::Rect{0, 148 * u - 0.5, s, 0.5});
    rule->setBackgroundColor(c::color999999());
    header->addSubview(rule);
    return header;
}

std::shared_ptr<ui::TableViewCell> QUMainDetailController::cellForRowAtIndexPath(ui::TableView& tableView,
                                                                                 const ui::IndexPath& indexPath) {
    if (isHistory(tableView)) {
        auto cell = dequeueCell<QNDiscoverSearchResultHistoryCell>(tableView, "");
        cell->contentLabel()->setText(result_.at(static_cast<std::size_t>(indexPath.row)));
        return cell;
    }
    const auto& answer = anserList_.at(static_cast<std::size_t>(indexPath.section));
    if (indexPath.row == 0) {
        auto cell = dequeueCell<QUMainProblemCell>(tableView, "");
        const bool withTag = mContent_ && indexPath.section == 0;
        cell->configure(answer->title, withTag ? std::optional<std::string_view>(*mContent_) : std::nullopt,
                        searchText());
        return cell;
    }
    auto cell = dequeueCell<QUMainAnswerCell>(tableView, "");
    cell->configure(answer->content, searchText());
    return cell;
}

void QUMainDetailController::didSelectRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) {
    if (!isHistory(tableView)) return;
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(result_.size())) return;
    searchView_->inputTextField()->setText(result_[static_cast<std::size_t>(indexPath.row)]);
    runSearch();
}

// ---- History

void QUMainDetailController::confirmClearHistory() {
    auto weak = weakSelf();
    NXAlertController::show(
        {"取消", "确定"},
        [weak](long index) {
            if (auto self = weak.lock()) self->clearHistory(index);
        },
        "确定要删除历史搜索吗？", std::static_pointer_cast<ui::ViewController>(shared_from_this()), "提示", 1);
}

void QUMainDetailController::clearHistory(long index) {
    if (index != 1) return;
    network::NXUserDefault::shared().setValue(std::nullopt, network::QNStorge::kHistoryKey);
    result_ = network::QNStorge::history();
    resultTableView_->reloadData();
}

} // namespace kit
