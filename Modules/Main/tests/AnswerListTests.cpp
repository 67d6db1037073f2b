#include "Commons/Controller/ScrollViewRegistry.h"
#include "Modules/Main/Cells/QNDiscoverSearchResultHistoryCell.h"
#include "Modules/Main/Cells/QUMainAnswerCell.h"
#include "Modules/Main/Cells/QUMainProblemCell.h"
#include "Modules/Main/tests/ScreenTest.h"
#include "network/QNStorge.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Pasteboard.h"
#include "refresh/RefreshFooter.h"
#include "refresh/RefreshHeader.h"
#include "refresh/RefreshScrollView.h"

namespace kit::testing {
namespace {

using network::QNStorge;
using refresh::RefreshComponentState;

// The first view of class T in the tree under `view`, depth first.
template <class T>
std::shared_ptr<T> findFirst(const std::shared_ptr<ui::View>& view) {
    if (auto hit = std::dynamic_pointer_cast<T>(view)) return hit;
    for (const auto& sub : view->subviews()) {
        if (auto hit = findFirst<T>(sub)) return hit;
    }
    return nullptr;
}

class AnswerList : public ScreenTest {
protected:
    std::shared_ptr<refresh::RefreshHeader> header(const QUMainDetailController& page) {
        return refresh::rf_header(*page.tableview());
    }
    std::shared_ptr<refresh::RefreshFooter> footer(const QUMainDetailController& page) {
        return refresh::rf_footer(*page.tableview());
    }
    // Types a search into the focused field and presses the return key.
    void search(const std::string& text) {
        host->typeText(text);
        host->pressKey(ui::EditingKey::returnKey);
    }
    void setPages(AnswerPages pages) {
        setContentReply([pages](const Form& form) { return pageOf(pages, form); });
    }
    void refuseContent() {
        setContentReply([](const Form&) { return Reply::json(R"({"status":0,"message":"请求已过期，请检查设备时间"})"); });
    }
};

TEST_F(AnswerList, LoadMoreAsksForTheNextPageAndHidesTheFooterAtTheEnd) {
    struct Case {
        const char* name;
        std::optional<std::string> tag;
    } cases[] = {{"tag list", "约会邀请"}, {"search", std::nullopt}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        const std::size_t before = contentRequests();
        auto page = openDetail(k.tag);
        if (!k.tag) search("咖啡");
        ASSERT_TRUE(answered(before + 1));
        EXPECT_FALSE(footer(*page)->isHidden());
        for (const char* pages : {"10", "20"}) {
            footer(*page)->beginRefreshing();
            ASSERT_TRUE(answered(contentRequests() + 1));
            EXPECT_EQ(formsTo(network::Api::kContentListPath).back().at("pages"), pages);
        }
        auto forms = formsTo(network::Api::kContentListPath);
        forms.erase(forms.begin(), forms.begin() + static_cast<long>(before));
        ASSERT_EQ(forms.size(), 3u);
        for (const auto& form : forms) {
            EXPECT_EQ(form.count("search_tag"), k.tag ? 1u : 0u);
            if (k.tag) {
                EXPECT_EQ(form.at("search_tag"), *k.tag);
            }
            EXPECT_EQ(form.at("search_text"), k.tag ? "" : "咖啡");
        }
        EXPECT_EQ(forms[0].at("pages"), "0");
        EXPECT_EQ(page->anserList().size(), 25u);
        EXPECT_EQ(page->tableview()->numberOfSections(), 25);
        EXPECT_TRUE(footer(*page)->isHidden());
        EXPECT_EQ(footer(*page)->state(), RefreshComponentState::Idle);
        // A pull starts the list again.
        header(*page)->beginRefreshing();
        ASSERT_TRUE(answered(contentRequests() + 1));
        EXPECT_EQ(formsTo(network::Api::kContentListPath).back().at("pages"), "0");
        EXPECT_EQ(page->anserList().size(), 10u);
        EXPECT_FALSE(footer(*page)->isHidden());
    }
}

TEST_F(AnswerList, ATagListContinuesFromTheServicesPageASearchFromTheAnswersHeld) {
    // A service whose page counter is not the number of answers tells the two readings apart.
    setContentReply([](const Form& form) {
        Reply reply = pageOf({40, "咖啡"}, form);
        const auto at = reply.body.find("\"now_page\":");
        const auto end = reply.body.find(',', at);
        reply.body.replace(at, end - at, "\"now_page\":3");
        return reply;
    });
    struct Case {
        const char* name;
        std::optional<std::string> tag;
        const char* next;
    } cases[] = {{"tag list", "约会邀请", "3"}, {"search", std::nullopt, "10"}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        const std::size_t before = contentRequests();
        auto page = openDetail(k.tag);
        if (!k.tag) search("咖啡");
        ASSERT_TRUE(answered(before + 1));
        footer(*page)->beginRefreshing();
        ASSERT_TRUE(answered(before + 2));
        EXPECT_EQ(formsTo(network::Api::kContentListPath).back().at("pages"), k.next);
    }
}

TEST_F(AnswerList, SearchModeTakesTheFocusShowsTheHistoryAndSearchesOnReturn) {
    QNStorge::addHistory("晚安");
    auto page = openDetail(std::nullopt);
    const auto& field = page->searchView()->inputTextField();
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_FALSE(page->resultTableView()->isHidden());
    EXPECT_TRUE(page->tableview()->isHidden());
    EXPECT_EQ(contentRequests(), 0u);
    window->layoutIfNeeded();
    auto row = std::dynamic_pointer_cast<QNDiscoverSearchResultHistoryCell>(
        page->resultTableView()->cellForRowAtIndexPath({0, 0}));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->contentLabel()->text(), "晚安");
    EXPECT_EQ(page->lvTitleLabel()->text(), "话术案例");
    EXPECT_EQ(field->returnKeyType(), ui::ReturnKeyType::search);

    search("约会");
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_TRUE(page->resultTableView()->isHidden());
    EXPECT_FALSE(page->tableview()->isHidden());
    ASSERT_TRUE(answered(1));
    const auto form = formsTo(network::Api::kContentListPath).back();
    EXPECT_EQ(form.at("search_text"), "约会");
    EXPECT_EQ(form.count("search_tag"), 0u);
    EXPECT_EQ(page->result(), (std::vector<std::string>{"约会", "晚安"}));

    // Editing again shows the history; a tap on an entry searches for it and moves it first.
    host->tap(middleInWindow(*field));
    settle();
    EXPECT_FALSE(page->resultTableView()->isHidden());
    window->layoutIfNeeded();
    host->tap(middleInWindow(*page->resultTableView()->cellForRowAtIndexPath(ui::IndexPath::forRow(1, 0))));
    ASSERT_TRUE(answered(2));
    EXPECT_EQ(formsTo(network::Api::kContentListPath).back().at("search_text"), "晚安");
    EXPECT_EQ(field->text(), "晚安");
    EXPECT_EQ(page->result(), (std::vector<std::string>{"晚安", "约会"}));
    EXPECT_FALSE(page->tableview()->isHidden());
}

TEST_F(AnswerList, TheHistoryKeepsOneEntryPerTextNewestFirstAndAtMostAHundred) {
    for (int i = 1; i <= 100; ++i) QNStorge::addHistory("话题" + std::to_string(i));
    auto page = openDetail(std::nullopt);
    const auto& field = page->searchView()->inputTextField();
    struct Step {
        const char* text;
        const char* first;
        const char* last;
    } steps[] = {
        {"话题50", "话题50", "话题1"},  // an old text moves to the front, nothing is added
        {"新话题", "新话题", "话题2"},  // a new one pushes the oldest out
        {"", "新话题", "话题2"},        // an empty search is not remembered
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.text);
        field->setText(step.text);
        page->runSearch();
        settle();
        const auto& history = page->result();
        ASSERT_EQ(history.size(), 100u);
        EXPECT_EQ(history.front(), step.first);
        EXPECT_EQ(history.back(), step.last);
        EXPECT_EQ(std::count(history.begin(), history.end(), history.front()), 1);
        EXPECT_EQ(QNStorge::history(), history);
    }
    EXPECT_TRUE(answered(2));
}

TEST_F(AnswerList, ASearchInATagListDropsTheTagForGood) {
    auto page = openDetail("约会邀请");
    ASSERT_TRUE(answered(1));
    host->tap(middleInWindow(*page->searchView()->inputTextField()));
    settle();
    search("电影");
    ASSERT_TRUE(answered(2));
    EXPECT_FALSE(page->mContent());
    const auto form = formsTo(network::Api::kContentListPath).back();
    EXPECT_EQ(form.count("search_tag"), 0u);
    EXPECT_EQ(form.at("search_text"), "电影");
    EXPECT_EQ(form.at("pages"), "0");
}

TEST_F(AnswerList, RowsAndHeadersTakeTheirHeights) {
    auto page = openDetail("约会邀请");
    ASSERT_TRUE(answered(1));
    auto& table = *page->tableview();
    const auto& answers = page->anserList();
    EXPECT_NEAR(*page->heightForRowAtIndexPath(table, {0, 0}), QUMainProblemCell::titleHeight(answers[0]->title) + 190 * u, 1e-9);
    EXPECT_NEAR(*page->heightForRowAtIndexPath(table, ui::IndexPath::forRow(0, 1)), QUMainProblemCell::titleHeight(answers[1]->title) + 70 * u, 1e-9);
    EXPECT_NEAR(*page->heightForRowAtIndexPath(table, ui::IndexPath::forRow(1, 0)), QUMainAnswerCell::answerHeight(answers[0]->content), 1e-9);
    EXPECT_NEAR(*page->heightForHeaderInSection(table, 3), 20 * u, 1e-9);
    // The first question shows the tag title, the others do not.
    window->layoutIfNeeded();
    auto first = std::dynamic_pointer_cast<QUMainProblemCell>(table.cellForRowAtIndexPath({0, 0}));
    auto second = std::dynamic_pointer_cast<QUMainProblemCell>(table.cellForRowAtIndexPath(ui::IndexPath::forRow(0, 1)));
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(first->titleLabel()->isHidden());
    EXPECT_EQ(first->titleLabel()->text(), "约会邀请");
    EXPECT_TRUE(second->titleLabel()->isHidden());
    // Both tables fill the page under the search field.
    const double below = page->scrollView()->frame().height() - 146 * u;
    expectNear(table.frame(), {0, 146 * u, 375, below}, "answers");
    expectNear(page->resultTableView()->frame(), {0, 146 * u, 375, below}, "history");
    expectNear(page->searchView()->frame(), {0, 20 * u, 375, 126 * u}, "search field");

    auto& history = *page->resultTableView();
    EXPECT_NEAR(*page->heightForHeaderInSection(history, 0), 0.0001, 1e-12);
    EXPECT_NEAR(*page->heightForRowAtIndexPath(history, {0, 0}), 146 * u, 1e-9);
}

TEST_F(AnswerList, RowHeightsStayTheSameOnceTheListHasBeenDrawn) {
    // Drawing text once must not change how later text measures, or rows measured after the first
    // frame would no longer fit the labels laid out before it.
    auto page = openDetail("约会邀请");
    ASSERT_TRUE(answered(1));
    auto& table = *page->tableview();
    std::vector<double> before;
    for (long section = 0; section < 3; ++section)
        for (long row = 0; row < 2; ++row) before.push_back(*page->heightForRowAtIndexPath(table, ui::IndexPath::forRow(row, section)));
    host->snapshot();
    std::vector<double> after;
    for (long section = 0; section < 3; ++section)
        for (long row = 0; row < 2; ++row) after.push_back(*page->heightForRowAtIndexPath(table, ui::IndexPath::forRow(row, section)));
    EXPECT_EQ(before, after);
}

TEST_F(AnswerList, ClearingTheHistoryAsksAndOnlyTheSecondButtonClears) {
    struct Case {
        long index;
        bool cleared;
    } cases[] = {{0, false}, {1, true}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.index);
        QNStorge::addHistory("晚安");
        auto page = openDetail(std::nullopt);
        auto& history = *page->resultTableView();
        EXPECT_NEAR(*page->heightForHeaderInSection(history, 0), 148 * u, 1e-9);
        window->layoutIfNeeded();
        auto headerView = history.headerViewForSection(0);
        ASSERT_TRUE(headerView);
        auto remove = findFirst<NXButton>(headerView);
        ASSERT_TRUE(remove);
        expectNear(remove->frame(), {375 - 120 * u, 20 * u, 100 * u, 100 * u}, "delete button");
        host->tap(middleInWindow(*remove));
        settle();
        auto alert = std::dynamic_pointer_cast<ui::AlertController>(page->presentedViewController());
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "提示");
        EXPECT_EQ(alert->message(), "确定要删除历史搜索吗？");
        ASSERT_EQ(alert->actions().size(), 2u);
        EXPECT_EQ(alert->actions()[0]->title(), "取消");
        EXPECT_EQ(alert->actions()[1]->title(), "确定");
        const std::string chosen = alert->actions()[static_cast<std::size_t>(k.index)]->title();
        for (const auto& button : alert->buttons()) {
            if (button->currentTitle() == chosen) host->tap(middleInWindow(*button));
        }
        settle();
        EXPECT_FALSE(page->presentedViewController());
        EXPECT_EQ(QNStorge::history().empty(), k.cleared);
        EXPECT_EQ(page->result().empty(), k.cleared);
        EXPECT_EQ(history.numberOfRowsInSection(0), k.cleared ? 0 : 1);
        EXPECT_NEAR(*page->heightForHeaderInSection(history, 0), k.cleared ? 0.0001 : 148 * u, 1e-9);
    }
}

TEST_F(AnswerList, AnEmptySearchByPullOrLoadMoreEndsTheControl) {
    struct Case {
        const char* name;
        bool pull;
    } cases[] = {{"pull", true}, {"load more", false}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        HUDToastIndicator::sharedInstance()->dismissToast();
        settle();
        const std::size_t before = contentRequests();
        auto page = openDetail(std::nullopt);
        search("咖啡");
        ASSERT_TRUE(answered(before + 1));
        ASSERT_FALSE(footer(*page)->isHidden());
        page->searchView()->inputTextField()->setText("");
        std::shared_ptr<refresh::RefreshComponent> control = k.pull ? std::shared_ptr<refresh::RefreshComponent>(header(*page))
                                                                    : std::shared_ptr<refresh::RefreshComponent>(footer(*page));
        control->beginRefreshing();
        run(0.5);
        EXPECT_EQ(control->state(), RefreshComponentState::Idle);
        EXPECT_TRUE(isEveryRegisteredScrollViewIdle());
        EXPECT_EQ(HUDToastIndicator::sharedInstance()->toastMessage(), "请输入要搜索的内容");
        EXPECT_EQ(contentRequests(), before + 1);
        EXPECT_TRUE(page->anserList().empty());
        EXPECT_FALSE(page->answerListModel());
        EXPECT_EQ(page->tableview()->numberOfSections(), 0);
        // Nothing is held and nothing can follow.
        EXPECT_TRUE(footer(*page)->isHidden());
    }
}

TEST_F(AnswerList, AFailedLoadEndsTheControlsAndLeavesTheListAndFooterAsTheyWere) {
    struct Case {
        const char* name;
        long count;  // answers the service has for the tag
        bool pull;
    } cases[] = {{"pull with everything loaded", 5, true}, {"load more with more to come", 25, false}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        setPages({k.count, "咖啡"});
        const std::size_t before = contentRequests();
        auto page = openDetail("约会邀请");
        ASSERT_TRUE(answered(before + 1));
        const std::size_t held = page->anserList().size();
        const bool footerHidden = footer(*page)->isHidden();
        EXPECT_EQ(footerHidden, k.count <= 10);
        refuseContent();
        std::shared_ptr<refresh::RefreshComponent> control = k.pull ? std::shared_ptr<refresh::RefreshComponent>(header(*page))
                                                                    : std::shared_ptr<refresh::RefreshComponent>(footer(*page));
        control->beginRefreshing();
        ASSERT_TRUE(answered(before + 2));
        EXPECT_EQ(header(*page)->state(), RefreshComponentState::Idle);
        EXPECT_EQ(footer(*page)->state(), RefreshComponentState::Idle);
        EXPECT_TRUE(isEveryRegisteredScrollViewIdle());
        EXPECT_EQ(footer(*page)->isHidden(), footerHidden);
        EXPECT_EQ(page->anserList().size(), held);
    }
}

TEST_F(AnswerList, TheCopyButtonCopiesThePlainAnswerAndSaysSo) {
    setPages({1, "咖啡"});
    ui::Pasteboard::general().setString("旧的内容");
    auto page = openDetail("约会邀请");
    ASSERT_TRUE(answered(1));
    window->layoutIfNeeded();
    auto cell = std::dynamic_pointer_cast<QUMainAnswerCell>(page->tableview()->cellForRowAtIndexPath(ui::IndexPath::forRow(1, 0)));
    ASSERT_TRUE(cell);
    host->tap(middleInWindow(*cell->copyBtn()));
    host->advance(0);
    EXPECT_EQ(ui::Pasteboard::general().string(), page->anserList().at(0)->content);
    EXPECT_EQ(HUDToastIndicator::sharedInstance()->toastMessage(), "复制成功");
}

TEST_F(AnswerList, APageThatIsGoneIsNotKeptByItsRequestsOrControls) {
    std::weak_ptr<QUMainDetailController> weak;
    {
        auto page = openDetail("约会邀请");
        ASSERT_TRUE(answered(1));
        weak = page;
        window->setRootViewController(nullptr);
        settle();
    }
    EXPECT_TRUE(weak.expired());
}

} // namespace
} // namespace kit::testing
