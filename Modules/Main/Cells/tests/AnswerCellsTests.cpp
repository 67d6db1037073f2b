#include "Commons/TableView/DequeueCell.h"
#include "Commons/TableView/MWTableView.h"
#include "Modules/Main/Cells/QNDiscoverSearchResultHistoryCell.h"
#include "Modules/Main/Cells/QUMainAnswerCell.h"
#include "Modules/Main/Cells/QUMainProblemCell.h"
#include "platform/core/TextConversions.h"
#include "platform/gfx/TextLayout.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/ui/Pasteboard.h"
#include "ui/HUDToastIndicator.h"
#include "ui/tests/KitTest.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace kit {
namespace {

// The phone window is 375 points wide, so a design pixel is 375 / 1080 points.
constexpr double u = 375.0 / 1080;

const std::string kLongAnswer =
    "周末有空吗？我知道河边有一家很安静的咖啡馆，蛋糕很好吃，也没有人催你。要是你愿意，我们下午三点在门口见，"
    "先走一走，再找个靠窗的位置坐下来慢慢聊。";

class AnswerCells : public KitTest {
protected:
    // The frame of a view in window points, read from the view-tree dump: the view's place in the
    // live tree gives the path of subview indices to follow in the dump.
    gfx::Rect dumpedFrame(const ui::View& view) {
        std::vector<std::size_t> path;
        for (const ui::View* v = &view; v->superview(); v = v->superview().get()) {
            const auto& siblings = v->superview()->subviews();
            for (std::size_t i = 0; i < siblings.size(); ++i)
                if (siblings[i].get() == v) path.insert(path.begin(), i);
        }
        core::Value node = host->dumpTree();
        for (std::size_t i : path) node = node.dictionary()->find("subviews")->array()->at(i);
        const auto& f = *node.dictionary()->find("frame")->array();
        return {core::doubleValue(f[0]), core::doubleValue(f[1]), core::doubleValue(f[2]), core::doubleValue(f[3])};
    }

    template <class Cell>
    std::shared_ptr<Cell> cellInWindow(double height) {
        auto cell = core::make<Cell>(ui::TableViewCellStyle::default_, "row");
        cell->setFrame({0, 0, 375, height});
        window->addSubview(cell);
        window->layoutIfNeeded();
        return cell;
    }
};

void expectNear(const gfx::Rect& actual, const gfx::Rect& expected, const std::string& what) {
    EXPECT_NEAR(actual.x(), expected.x(), 1e-6) << what;
    EXPECT_NEAR(actual.y(), expected.y(), 1e-6) << what;
    EXPECT_NEAR(actual.width(), expected.width(), 1e-6) << what;
    EXPECT_NEAR(actual.height(), expected.height(), 1e-6) << what;
}

// The texts of the runs drawn in the highlight pink, in order.
std::vector<std::string> pinkPieces(const text::AttributedString& string) {
    std::vector<std::string> pieces;
    for (std::size_t run = 0; run < string.runCount(); ++run) {
        const auto* colour = text::unbox<gfx::Color>(
            string.runAttributes(run).find(std::string(text::kForegroundColorAttributeName)));
        if (colour && *colour == c::colorFF5B78()) pieces.push_back(string.substring(string.runRange(run)).string());
    }
    return pieces;
}

// The label's text as shown: the label keeps one U+FFFC at the end of its stored text.
std::string withoutSentinel(const text::AttributedString& stored) {
    EXPECT_EQ(stored.characters().back(), text::kObjectReplacementCharacter);
    return stored.substring({0, stored.length() - 1}).string();
}

TEST_F(AnswerCells, NoRowShowsASelectionHighlight) {
    EXPECT_EQ(cellInWindow<QNDiscoverSearchResultHistoryCell>(146 * u)->selectionStyle(),
              ui::TableViewCellSelectionStyle::none);
    EXPECT_EQ(cellInWindow<QUMainProblemCell>(100)->selectionStyle(), ui::TableViewCellSelectionStyle::none);
    EXPECT_EQ(cellInWindow<QUMainAnswerCell>(100)->selectionStyle(), ui::TableViewCellSelectionStyle::none);
}

TEST_F(AnswerCells, HistoryRowPlacesIconTextAndArrow) {
    auto cell = cellInWindow<QNDiscoverSearchResultHistoryCell>(146 * u);
    expectNear(dumpedFrame(*cell->iconImageView()), {40 * u, 53 * u, 40 * u, 40 * u}, "icon");
    expectNear(dumpedFrame(*cell->rightIconImageView()), {375 - 100 * u, 43 * u, 60 * u, 60 * u}, "arrow");
    expectNear(dumpedFrame(*cell->contentLabel()), {120 * u, 0, 375 - 240 * u, 146 * u}, "label");
    EXPECT_EQ(cell->contentLabel()->text(), "历史记录第一条");
    EXPECT_EQ(cell->contentLabel()->textColor(), c::colorCCCCCC());
    EXPECT_TRUE(cell->iconImageView()->image());
    EXPECT_TRUE(cell->rightIconImageView()->image());
}

TEST_F(AnswerCells, QuestionRowStartsBelowATagTitleAndPutsTheRuleUnderTheText) {
    struct Case {
        const char* name;
        std::string title;
        std::optional<std::string> tag;
        double top;
    } cases[] = {
        {"one line, no tag", "她说在忙怎么回？", std::nullopt, 30 * u},
        {"one line, tag", "她说在忙怎么回？", "聊天开场", 120 * u},
        {"several lines, tag", kLongAnswer + kLongAnswer, "约会邀约", 120 * u},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        auto cell = cellInWindow<QUMainProblemCell>(400);
        cell->configure(k.title, k.tag, std::nullopt);
        window->layoutIfNeeded();

        // The label that draws the highlighted question measures it as the row does.
        const double textHeight =
            cell->problemLabel()->sizeThatFits({1000 * u, std::numeric_limits<double>::max()}).height;
        EXPECT_DOUBLE_EQ(QUMainProblemCell::titleHeight(k.title), textHeight);
        const double height = textHeight + 10 * u;
        expectNear(dumpedFrame(*cell->problemLabel()), {40 * u, k.top, 1000 * u, height}, "question");
        EXPECT_EQ(cell->titleLabel()->isHidden(), !k.tag);
        EXPECT_EQ(cell->titleLabel()->text(), k.tag.value_or(""));
        if (k.tag) expectNear(dumpedFrame(*cell->titleLabel()), {40 * u, 0, 1000 * u, 120 * u}, "tag title");
        // The rule hangs on the cell itself, one point tall, ending 40u below the question.
        EXPECT_EQ(cell->line()->superview(), cell);
        expectNear(dumpedFrame(*cell->line()), {40 * u, k.top + height + 40 * u - 1, 1040 * u, 1}, "rule");
        EXPECT_EQ(cell->line()->backgroundColor(), c::color666666Alpha02());
        cell->removeFromSuperview();
    }
    // Longer questions take more lines.
    EXPECT_GT(QUMainProblemCell::titleHeight(kLongAnswer + kLongAnswer), 2 * QUMainProblemCell::titleHeight("短"));
}

TEST_F(AnswerCells, BothRowsHighlightEveryOccurrenceAndShowTheTextUnchanged) {
    struct Case {
        const char* name;
        std::string text;
        std::optional<std::string> search;
        std::vector<std::string> pink;
    } cases[] = {
        {"two hits", "你好呀，你好", "你好", {"你好", "你好"}},
        {"colon in the search", "时间：下午 3:30 见，3:30 不见不散", "3:30", {"3:30", "3:30"}},
        {"no hit", "晚安", "早安", {}},
        {"empty search", "晚安", "", {}},
        {"no search", "晚安", std::nullopt, {}},
        // Service text that looks like the old markup keeps every character and its colour.
        {"markup-like text", "##v:&:x,&,c:&:rrrr 和 rrrr", "rrrr", {"rrrr", "rrrr"}},
        {"full-width colons", "比分：：二比一", "二", {"二"}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        auto question = cellInWindow<QUMainProblemCell>(300);
        question->configure(k.text, std::nullopt, k.search);
        auto answer = cellInWindow<QUMainAnswerCell>(300);
        answer->configure(k.text, k.search);
        const auto& answerLabel = static_cast<RLLabel&>(*answer->answerSeg()->itemViews().at(0)->subviews().back());
        const auto& shownAnswer = *answerLabel.attributedText();
        for (const RLLabel* label : std::initializer_list<const RLLabel*>{question->problemLabel().get(), &answerLabel}) {
            const auto& shown = *label->attributedText();
            EXPECT_EQ(withoutSentinel(shown), k.text);
            EXPECT_EQ(pinkPieces(shown), k.pink);
            EXPECT_EQ(*text::unbox<gfx::Font>(shown.attributeAt(text::kFontAttributeName, 0)), c::font36());
        }
        // The answer's lines stand 20u apart.
        auto* style = text::unbox<text::ParagraphStyle>(shownAnswer.attributeAt(text::kParagraphStyleAttributeName, 0));
        ASSERT_TRUE(style);
        EXPECT_DOUBLE_EQ(style->lineSpacing, 20 * u);
        question->removeFromSuperview();
        answer->removeFromSuperview();
    }
}

TEST_F(AnswerCells, AnswerRowSizesToItsTextAndKeepsTheCopyButtonInside) {
    struct Case {
        const char* name;
        std::string content;
        std::optional<std::string> search;
    } cases[] = {
        {"one line", "好呀", std::nullopt},
        {"several lines", kLongAnswer, "咖啡"},
        {"many lines", kLongAnswer + "\n" + kLongAnswer + kLongAnswer, "蛋糕"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        const double rowHeight = QUMainAnswerCell::answerHeight(k.content);
        auto cell = cellInWindow<QUMainAnswerCell>(rowHeight);
        cell->configure(k.content, k.search);
        window->layoutIfNeeded();

        const auto& item = *cell->answerSeg()->itemViews().at(0);
        auto& label = static_cast<RLLabel&>(*item.subviews().back());
        // The label is 40u taller than the text it shows, laid out within its 20u left inset.
        const double labelHeight =
            RLLabel::sizeWithAttributedString(label.attributedText(), {900 * u, 1e9}, 0).height + 40 * u;
        expectNear(dumpedFrame(*cell->answerSeg()), {20 * u, 20 * u, 940 * u, labelHeight}, "answer area");
        expectNear(dumpedFrame(item), {20 * u, 20 * u, 940 * u, labelHeight}, "item");
        expectNear(dumpedFrame(label), {20 * u, 20 * u, 920 * u, labelHeight}, "label");
        EXPECT_EQ(label.verticalAlignment(), 0);
        EXPECT_EQ(label.textInsets(), (gfx::EdgeInsets{0, 20 * u, 0, 0}));
        EXPECT_TRUE(label.enableCopy());
        EXPECT_EQ(label.numberOfLines(), 0);

        // 20u above, the label, 20u below; the search changes colours only.
        EXPECT_NEAR(rowHeight, 20 * u + labelHeight + 20 * u, 1e-9);
        // The button sits at the answer's lower right, never above the row's top.
        const double buttonTop = std::max(0.0, 20 * u + labelHeight - 120 * u);
        expectNear(dumpedFrame(*cell->copyBtn()), {940 * u, buttonTop, 120 * u, 120 * u}, "copy button");
        if (std::string(k.name) == "one line") {
            EXPECT_EQ(buttonTop, 0);
        }
        cell->removeFromSuperview();
    }
}

TEST_F(AnswerCells, TheCopyButtonCopiesThePlainAnswerAndSaysSo) {
    HUDToastIndicator::sharedInstance()->dismissToast();
    ui::Pasteboard::general().setString("旧的内容");
    const std::string content = "##见面时间：3:30，rrrr 记得带伞";
    auto cell = cellInWindow<QUMainAnswerCell>(QUMainAnswerCell::answerHeight(content));
    cell->configure(content, "3:30");
    window->layoutIfNeeded();
    ASSERT_TRUE(cell->copyBtn()->imageForState(ui::stateNormal));

    const gfx::Rect button = dumpedFrame(*cell->copyBtn());
    host->tap({button.midX(), button.midY()});
    host->advance(0);
    EXPECT_EQ(ui::Pasteboard::general().string(), content);
    EXPECT_EQ(HUDToastIndicator::sharedInstance()->toastMessage(), "复制成功");
    HUDToastIndicator::sharedInstance()->dismissToast();
}

TEST_F(AnswerCells, TheKeptBlockRebuildsTheSameAreaWithoutKeepingTheCellAlive) {
    std::weak_ptr<QUMainAnswerCell> weak;
    {
        auto cell = core::make<QUMainAnswerCell>(ui::TableViewCellStyle::default_, "row");
        cell->configure("好的", "好");
        const double area = cell->answerSeg()->frame().height();
        cell->answerSeg()->refreshView();  // runs the kept block again
        EXPECT_EQ(cell->answerSeg()->frame().height(), area);
        weak = cell;
    }
    EXPECT_TRUE(weak.expired());
}

// A question with a tag title, its answer with the searched word, and a history row.
class Rows : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    long numberOfSectionsInTableView(ui::TableView&) override { return 1; }
    long numberOfRowsInSection(ui::TableView&, long) override { return 3; }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& at) override {
        if (at.row == 0) {
            auto cell = dequeueCell<QUMainProblemCell>(table, "");
            cell->configure(question, std::string("约会邀约"), search);
            return cell;
        }
        if (at.row == 1) {
            auto cell = dequeueCell<QUMainAnswerCell>(table, "");
            cell->configure(kLongAnswer, search);
            return cell;
        }
        return dequeueCell<QNDiscoverSearchResultHistoryCell>(table, "");
    }
    std::optional<double> heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& at) override {
        if (at.row == 0) return QUMainProblemCell::titleHeight(question) + 190 * u;
        if (at.row == 1) return QUMainAnswerCell::answerHeight(kLongAnswer);
        return 146 * u;
    }
    const std::string question = "想约她周末出去喝咖啡，怎么开口比较自然？";
    const std::string search = "咖啡";
};

TEST_F(AnswerCells, RowsSnapshot) {
    ASSERT_TRUE(gfx::TextLayout::usesPinnedFonts()) << "fonts-noto-cjk is needed for the golden";
    auto rows = std::make_shared<Rows>();
    auto table = core::make<MWTableView>(gfx::Rect{0, 20, 375, 647}, ui::TableViewStyle::plain);
    table->setDataSource(rows);
    table->setDelegate(rows);
    window->addSubview(table);
    table->reloadData();
    window->layoutIfNeeded();
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/answer_rows.png"));
}

} // namespace
} // namespace kit
