// Lays out and measures 1,000 typical answers (40 to 200 Chinese characters with punctuation)
// through the rich label's size calculation, and raw Pango laying out the same strings at the
// same width with the same font in the same run. The ratio of the two is what counts.
//
// The copy-mode pair: the rich label laying each answer out with a run per character and
// collecting the run items a selection uses, against raw Pango laying the same strings out and
// asking for the position of every character.

#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/PangoFonts.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "platform/text/ParagraphStyle.h"
#include "rich_label/RLLabel.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr double kAnswerWidth = 335;
const gfx::Font kFont = gfx::Font::systemFont(15);

const std::vector<std::string>& answers() {
    static const std::vector<std::string> texts = [] {
        const char* pieces[] = {"你", "好", "我", "们", "今", "天", "一", "起", "去", "喝", "咖", "啡",
                                "吧", "说", "话", "真", "的", "很", "有", "意", "思", "，", "。", "？"};
        std::vector<std::string> out;
        unsigned state = 12345;
        for (int i = 0; i < 1000; ++i) {
            state = state * 1103515245u + 12345u;
            int length = 40 + static_cast<int>((state >> 8) % 161);
            std::string text;
            for (int c = 0; c < length; ++c) {
                state = state * 1103515245u + 12345u;
                text += pieces[(state >> 8) % (sizeof pieces / sizeof *pieces)];
            }
            out.push_back(std::move(text));
        }
        return out;
    }();
    return texts;
}

text::Attributes answerAttributes() {
    text::ParagraphStyle style;
    style.lineSpacing = 4;
    return {{std::string(text::kFontAttributeName), text::box(kFont)},
            {std::string(text::kForegroundColorAttributeName), text::box(gfx::Color::black())},
            {std::string(text::kParagraphStyleAttributeName), text::box(style)}};
}

// A raw Pango layout of one answer at the answers' width, wrap and spacing.
PangoLayout* answerLayout(const PangoFontDescription* desc, const std::string& text) {
    PangoLayout* layout = pango_layout_new(gfx::sharedPangoContext());
    pango_layout_set_font_description(layout, desc);
    pango_layout_set_width(layout, static_cast<int>(kAnswerWidth * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_spacing(layout, 4 * PANGO_SCALE);
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    return layout;
}

void RichLabelSizeCalculation(benchmark::State& state) {
    std::vector<text::AttributedString> strings;
    for (const auto& a : answers()) strings.emplace_back(a, answerAttributes());
    for (auto _ : state) {
        double total = 0;
        for (const auto& s : strings) total += RLLabel::sizeWithAttributedString(s, {kAnswerWidth, 1e9}, 0).height;
        benchmark::DoNotOptimize(total);
    }
}

void RawPangoLayout(benchmark::State& state) {
    PangoFontDescription* desc = gfx::newPangoFontDescription(kFont);
    for (auto _ : state) {
        double total = 0;
        for (const auto& a : answers()) {
            PangoLayout* layout = answerLayout(desc, a);
            PangoRectangle logical;
            pango_layout_get_extents(layout, nullptr, &logical);
            total += logical.height;
            g_object_unref(layout);
        }
        benchmark::DoNotOptimize(total);
    }
    pango_font_description_free(desc);
}

void RichLabelCopyModeRunItems(benchmark::State& state) {
    std::vector<text::AttributedString> strings;
    for (const auto& a : answers()) strings.emplace_back(a, answerAttributes());
    auto label = core::make<RLLabel>(gfx::Rect(0, 0, kAnswerWidth, 2000));
    label->setNumberOfLines(0);
    label->setVerticalAlignment(1);
    label->setEnableCopy(true);
    // The glyphs land outside this one-point picture: what is measured is the layout.
    gfx::BitmapContext context({1, 1}, 1);
    std::size_t items = 0;
    for (auto _ : state) {
        items = 0;
        for (const auto& s : strings) {
            label->setAttributedText(s);
            label->caculateCTRunCopySizeBlock([] {});
            label->drawTextInRect(context, label->bounds());
            items += label->selectableRunItems().size();
        }
        benchmark::DoNotOptimize(items);
    }
    state.counters["items"] = static_cast<double>(items);
}

void RawPangoCharacterPositions(benchmark::State& state) {
    PangoFontDescription* desc = gfx::newPangoFontDescription(kFont);
    std::size_t items = 0;
    for (auto _ : state) {
        items = 0;
        double total = 0;
        for (const auto& a : answers()) {
            PangoLayout* layout = answerLayout(desc, a);
            const char* text = pango_layout_get_text(layout);
            for (const char* p = text; *p; p = g_utf8_next_char(p)) {
                PangoRectangle pos;
                pango_layout_index_to_pos(layout, static_cast<int>(p - text), &pos);
                total += pos.x + pos.width;
                ++items;
            }
            g_object_unref(layout);
        }
        benchmark::DoNotOptimize(total);
    }
    state.counters["items"] = static_cast<double>(items);
    pango_font_description_free(desc);
}

} // namespace

BENCHMARK(RawPangoCharacterPositions)->Unit(benchmark::kMillisecond);
BENCHMARK(RichLabelCopyModeRunItems)->Unit(benchmark::kMillisecond);
BENCHMARK(RawPangoLayout)->Unit(benchmark::kMillisecond);
BENCHMARK(RichLabelSizeCalculation)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
