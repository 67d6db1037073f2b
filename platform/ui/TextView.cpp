#include "platform/ui/TextView.h"

#include "platform/core/NotificationCenter.h"
#include "platform/core/Utf16.h"
#include "platform/dispatch/Queue.h"
#include "platform/gfx/TextLayout.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cmath>

namespace ui {

// The text view's content: draws the text, the marked text and the caret.
class TextViewContent : public View {
public:
    explicit TextViewContent(std::weak_ptr<TextView> owner) : owner_(std::move(owner)) {}
    bool drawsContent() const override { return true; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    std::weak_ptr<TextView> owner_;
};

namespace {

constexpr double kBlinkInterval = 0.5;
constexpr double kCaretWidth = 2;


gfx::TextLayout::Alignment layoutAlignment(TextAlignment a) {
    switch (a) {
    case TextAlignment::center: return gfx::TextLayout::Alignment::center;
    case TextAlignment::right: return gfx::TextLayout::Alignment::right;
    case TextAlignment::justified: return gfx::TextLayout::Alignment::justified;
    default: return gfx::TextLayout::Alignment::left;
    }
}

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

void TextView::init() {
    ScrollView::init();
    setBackgroundColor(gfx::Color::whiteColor());
    content_ = core::make<TextViewContent>(std::static_pointer_cast<TextView>(shared_from_this()));
    content_->setContentMode(ContentMode::redraw);
    content_->setUserInteractionEnabled(false);
    addSubview(content_);
}

TextView::~TextView() {
    if (blink_) blink_->cancel();
}

// ---- Properties

void TextView::setText(std::string text) {
    text_ = std::move(text);
    marked_.clear();
    std::size_t end = core::utf16::length(text_);
    selection_ = {end, 0};
    relayout();
}

void TextView::setFont(std::optional<gfx::Font> font) { font_ = std::move(font); relayout(); }
void TextView::setTextColor(gfx::Color color) { textColor_ = color; content_->setNeedsDisplay(); }
void TextView::setTextAlignment(TextAlignment alignment) { alignment_ = alignment; relayout(); }
void TextView::setTextContainerInset(gfx::EdgeInsets inset) { inset_ = inset; relayout(); }
void TextView::setLineFragmentPadding(double padding) { padding_ = padding; relayout(); }

void TextView::setEditable(bool editable) {
    if (editable_ != editable) noteChildStateChanged();
    editable_ = editable;
    if (!editable && editing_) resignFirstResponder(true);
    content_->setNeedsDisplay();  // links show only while it is not editable
}

void TextView::setSelectedRange(TextRange range) {
    std::size_t n = core::utf16::length(text_);
    range.location = std::min(range.location, n);
    range.length = std::min(range.length, n - range.location);
    const bool moved = range.location != selection_.location || range.length != selection_.length;
    selection_ = range;
    caretShown_ = true;
    content_->setNeedsDisplay();
    if (editing_) {
        scrollToCaret();
        Keyboard::shared().caretDidMove();
    }
    if (auto d = delegate(); d && moved) d->textViewDidChangeSelection(*this);
}

gfx::Font TextView::drawingFont() const { return font_.value_or(gfx::Font::systemFont(kDefaultFontSize)); }

double TextView::textWidth() const { return std::max(0.0, bounds().width() - inset_.left - inset_.right - 2 * padding_); }

gfx::TextLayout TextView::layoutFor(const std::string& text) const {
    gfx::TextLayout layout;
    layout.setFont(drawingFont());
    layout.setAlignment(layoutAlignment(alignment_));
    layout.setLineBreak(gfx::TextLayout::LineBreak::wordWrap);
    layout.setWidth(textWidth());
    layout.setText(text);
    return layout;
}

// ---- Links

void TextView::setDataDetectorTypes(unsigned types) {
    dataDetectorTypes_ = types;
    content_->setNeedsDisplay();
}

std::vector<TextView::LinkSpan> TextView::linkSpans() const {
    std::vector<LinkSpan> spans;
    if (editable_ || !(dataDetectorTypes_ & dataDetectorLink)) return spans;
    std::size_t from = 0;
    for (;;) {
        std::size_t at = std::min(text_.find("http://", from), text_.find("https://", from));
        if (at == std::string::npos) break;
        std::size_t end = at;
        while (end < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[end]);
            if (c >= 0x80 || c <= ' ') break;
            ++end;
        }
        while (end > at && std::string_view(".,;:!?)'\"").find(text_[end - 1]) != std::string_view::npos) --end;
        const std::string url = text_.substr(at, end - at);
        if (url != "http://" && url != "https://") spans.push_back({at, end, url});
        from = std::max(end, at + 1);
    }
    return spans;
}

std::vector<TextView::DetectedLink> TextView::detectedLinks() const {
    std::vector<DetectedLink> links;
    for (const auto& span : linkSpans()) {
        const std::size_t start = core::utf16::utf16Offset(text_, span.start);
        links.push_back({{start, core::utf16::utf16Offset(text_, span.end) - start}, span.url});
    }
    return links;
}

// ---- Focus

bool TextView::becomeFirstResponder() {
    if (editing_) return true;
    if (!editable_ || !window()) return false;
    auto d = delegate();
    if (d && !d->textViewShouldBeginEditing(*this)) return false;
    auto& keyboard = Keyboard::shared();
    Keyboard::FocusChange change;
    auto self = std::static_pointer_cast<View>(shared_from_this());
    if (!keyboard.takeFocusFrom(self)) return false;
    editing_ = true;
    keyboard.setFirstResponder(self);
    startBlinking();
    content_->setNeedsDisplay();
    if (d) d->textViewDidBeginEditing(*this);
    core::NotificationCenter::defaultCenter().post(kTextDidBeginEditingNotification, shared_from_this());
    return true;
}

bool TextView::resignFirstResponder(bool force) {
    if (!editing_) return true;
    auto d = delegate();
    if (!force && d && !d->textViewShouldEndEditing(*this)) return false;
    if (!marked_.empty()) {
        std::string pending = marked_;
        insertText(pending);
    }
    editing_ = false;
    stopBlinking();
    Keyboard::FocusChange change;
    Keyboard::shared().resignFirstResponder(this);
    content_->setNeedsDisplay();
    if (d) d->textViewDidEndEditing(*this);
    core::NotificationCenter::defaultCenter().post(kTextDidEndEditingNotification, shared_from_this());
    return true;
}

void TextView::didMoveToWindow() {
    ScrollView::didMoveToWindow();
    if (!window() && editing_) resignFirstResponder(true);
}

void TextView::startBlinking() {
    caretShown_ = true;
    std::weak_ptr<TextView> weak = std::static_pointer_cast<TextView>(shared_from_this());
    blink_ = dispatch::Timer::start(dispatch::Queue::main(), kBlinkInterval, true, [weak] {
        if (auto self = weak.lock()) {
            self->caretShown_ = !self->caretShown_;
            self->content_->setNeedsDisplay();
        }
    });
}

void TextView::stopBlinking() {
    if (blink_) blink_->cancel();
    blink_.reset();
}

// ---- Editing

bool TextView::replace(TextRange range, const std::string& replacement) {
    auto d = delegate();
    if (d && !d->shouldChangeTextInRange(*this, range, replacement)) return false;
    std::size_t start = core::utf16::utf8Offset(text_, range.location);
    std::size_t end = core::utf16::utf8Offset(text_, range.location + range.length);
    text_.replace(start, end - start, replacement);
    const TextRange before = selection_;
    selection_ = {range.location + core::utf16::length(replacement), 0};
    // The caret moved with the edit (typing, deleting) or the selection collapsed into it.
    if (d && (before.location != selection_.location || before.length != 0)) d->textViewDidChangeSelection(*this);
    changed();
    return true;
}

void TextView::changed() {
    caretShown_ = true;
    relayout();
    Keyboard::shared().caretDidMove();
    if (auto d = delegate()) d->textViewDidChange(*this);
    core::NotificationCenter::defaultCenter().post(kTextDidChangeNotification, shared_from_this());
}

void TextView::insertText(const std::string& text) {
    marked_.clear();
    markedCursor_ = 0;
    if (text.empty()) {
        content_->setNeedsDisplay();
        return;
    }
    replace(selection_, text);
}

void TextView::deleteBackward() {
    if (!marked_.empty()) return;  // the input method edits its own text
    if (selection_.length > 0) {
        replace(selection_, "");
        return;
    }
    auto units = core::utf16::fromUtf8(text_);
    std::size_t n = core::utf16::unitsBefore(units, selection_.location);
    if (n) replace({selection_.location - n, n}, "");
}

void TextView::setMarkedText(const std::string& text, std::size_t cursorUtf16) {
    marked_ = text;
    markedCursor_ = std::min(cursorUtf16, core::utf16::length(text));
    caretShown_ = true;
    content_->setNeedsDisplay();
    Keyboard::shared().caretDidMove();
}

void TextView::unmarkText() {
    marked_.clear();
    markedCursor_ = 0;
    content_->setNeedsDisplay();
}

void TextView::handleKey(EditingKey key) {
    auto units = core::utf16::fromUtf8(text_);
    std::size_t at = selection_.location;
    switch (key) {
    case EditingKey::returnKey: insertText("\n"); break;
    case EditingKey::deleteForward:
        if (selection_.length) replace(selection_, "");
        else if (std::size_t n = core::utf16::unitsAfter(units, at)) replace({at, n}, "");
        break;
    case EditingKey::left: setSelectedRange({at - core::utf16::unitsBefore(units, at), 0}); break;
    case EditingKey::right: setSelectedRange({at + selection_.length + core::utf16::unitsAfter(units, at + selection_.length), 0}); break;
    case EditingKey::home: setSelectedRange({0, 0}); break;
    case EditingKey::end: setSelectedRange({units.size(), 0}); break;
    case EditingKey::escape: unmarkText(); break;
    }
}

// ---- Layout and drawing

void TextView::relayout() {
    setNeedsLayout();
    content_->setNeedsDisplay();
}

void TextView::layoutSubviews() {
    ScrollView::layoutSubviews();
    double textH = text_.empty() && marked_.empty() ? drawingFont().lineHeight() : layoutFor(text_ + marked_).size().height;
    gfx::Size size{bounds().width(), std::ceil(inset_.top + textH + inset_.bottom)};
    if (contentSize() != size) setContentSize(size);
    content_->setFrame({0, 0, size.width, std::max(size.height, bounds().height())});
    if (editing_) scrollToCaret();
}

gfx::Rect TextView::caretRect() const {
    std::size_t at = core::utf16::utf8Offset(text_, selection_.location);
    std::string prefix = text_.substr(0, at) + core::utf16::toUtf8(core::utf16::fromUtf8(marked_).substr(0, markedCursor_));
    double lineH = drawingFont().lineHeight();
    double x0 = inset_.left + padding_;
    if (prefix.empty()) return {x0, inset_.top, kCaretWidth, lineH};
    auto whole = layoutFor(prefix);
    int lines = whole.lineCount();
    // The start of the caret's line: the shortest prefix that already has as many lines.
    std::size_t lo = 0, hi = prefix.size();
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        while (mid < prefix.size() && isContinuation(prefix[mid])) ++mid;
        if (mid >= hi) break;
        if (layoutFor(prefix.substr(0, mid)).lineCount() >= lines) hi = mid;
        else lo = mid + 1;
    }
    while (hi < prefix.size() && isContinuation(prefix[hi])) ++hi;
    std::string tail = prefix.substr(hi);
    if (!tail.empty() && tail.front() == '\n') tail.erase(0, 1);
    gfx::TextLayout line;
    line.setFont(drawingFont());
    line.setText(tail);
    double x = tail.empty() ? 0 : line.size().width;
    double y = std::max(0.0, whole.size().height - lineH);
    return {x0 + std::min(x, textWidth()), inset_.top + y, kCaretWidth, lineH};
}

gfx::Rect TextView::caretRectInWindow() const { return content_->convertRect(caretRect(), nullptr); }

void TextView::scrollToCaret() {
    gfx::Rect c = caretRect();
    gfx::Point offset = contentOffset();
    double h = bounds().height();
    if (c.maxY() + inset_.bottom > offset.y + h) offset.y = c.maxY() + inset_.bottom - h;
    if (c.y() - inset_.top < offset.y) offset.y = std::max(0.0, c.y() - inset_.top);
    if (offset != contentOffset()) setContentOffset(offset);
}

void TextView::touchesEnded(const TouchSet& touches) {
    ScrollView::touchesEnded(touches);
    if (touches.empty()) return;
    if (!editable_) {
        const auto spans = linkSpans();
        if (spans.empty()) return;
        const gfx::Point p = touches.front()->locationInView(content_.get());
        auto index = layoutFor(text_).byteIndexAt({p.x - inset_.left - padding_, p.y - inset_.top});
        if (!index) return;
        for (const auto& span : spans) {
            if (*index < span.start || *index >= span.end) continue;
            const std::size_t start = core::utf16::utf16Offset(text_, span.start);
            const TextRange range{start, core::utf16::utf16Offset(text_, span.end) - start};
            auto d = delegate();
            if (!d || d->shouldInteractWithURL(*this, span.url, range, TextItemInteraction::invokeDefaultAction))
                Application::shared().openURL(span.url);
            return;
        }
        return;
    }
    if (!editing_) becomeFirstResponder();
}

void TextViewContent::drawRect(gfx::Context& context, const gfx::Rect&) {
    auto tv = owner_.lock();
    if (!tv) return;
    std::size_t at = core::utf16::utf8Offset(tv->text_, tv->selection_.location);
    std::string shown = tv->text_.substr(0, at) + tv->marked_ + tv->text_.substr(at);
    gfx::Point origin{tv->inset_.left + tv->padding_, tv->inset_.top};
    if (!shown.empty()) {
        auto layout = tv->layoutFor(shown);
        for (const auto& span : tv->linkSpans()) layout.addLink(span.start, span.end, tv->tintColor());
        layout.draw(context, origin, tv->textColor_);
    }
    if (tv->editing_ && tv->caretShown_) {
        context.setFillColor(tv->tintColor());
        context.fillRect(tv->caretRect());
    }
}

} // namespace ui
