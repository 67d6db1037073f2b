#include "platform/ui/TextField.h"

#include "platform/core/NotificationCenter.h"
#include "platform/core/Utf16.h"
#include "platform/dispatch/Queue.h"
#include "platform/gfx/Path.h"
#include "platform/gfx/TextLayout.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cmath>

namespace ui {
namespace {

constexpr double kBlinkInterval = 0.5;
constexpr double kCaretWidth = 2;
constexpr gfx::Color kCaretColor = gfx::Color::rgb(0, 122, 255);
constexpr gfx::Color kPlaceholderColor = gfx::Color::white(0.7);
constexpr double kClearButtonSize = 19;
constexpr double kClearButtonMargin = 6;   // from the field's right edge
constexpr double kClearButtonGap = 4;      // between the text and the button
constexpr double kClearButtonSlop = 8;     // taps this far around the button still hit it
constexpr gfx::Color kClearButtonColor = gfx::Color::white(0.7);

} // namespace

void TextField::init() {
    Control::init();
    setContentMode(ContentMode::redraw);
}

TextField::~TextField() {
    if (blink_) blink_->cancel();
}

// ---- Properties

void TextField::setText(std::string text) {
    text_ = std::move(text);
    caret_ = core::utf16::length(text_);
    marked_.clear();
    setNeedsDisplay();
}

void TextField::setPlaceholder(std::string placeholder) {
    placeholder_ = std::move(placeholder);
    placeholderFont_.reset();
    placeholderColor_.reset();
    setNeedsDisplay();
}

void TextField::setAttributedPlaceholder(std::string placeholder, gfx::Font font, gfx::Color color) {
    placeholder_ = std::move(placeholder);
    placeholderFont_ = std::move(font);
    placeholderColor_ = color;
    setNeedsDisplay();
}

void TextField::setFont(gfx::Font font) { font_ = std::move(font); setNeedsDisplay(); }
void TextField::setTextColor(gfx::Color color) { textColor_ = color; setNeedsDisplay(); }
void TextField::setTextAlignment(TextAlignment alignment) { alignment_ = alignment; setNeedsDisplay(); }

void TextField::setClearButtonMode(TextFieldViewMode mode) {
    clearButtonMode_ = mode;
    setNeedsDisplay();
}

bool TextField::isClearButtonShown() const {
    if (text_.empty() && marked_.empty()) return false;
    switch (clearButtonMode_) {
    case TextFieldViewMode::never: return false;
    case TextFieldViewMode::whileEditing: return editing_;
    case TextFieldViewMode::unlessEditing: return !editing_;
    case TextFieldViewMode::always: return true;
    }
    return false;
}

gfx::Rect TextField::clearButtonRect() const {
    const gfx::Rect b = bounds();
    return {b.maxX() - kClearButtonMargin - kClearButtonSize, b.midY() - kClearButtonSize / 2, kClearButtonSize,
            kClearButtonSize};
}

double TextField::textAreaWidth() const {
    const double w = bounds().width();
    if (!isClearButtonShown()) return w;
    return std::max(0.0, w - kClearButtonMargin - kClearButtonSize - kClearButtonGap);
}

void TextField::setCaret(std::size_t offset) {
    caret_ = std::min(offset, core::utf16::length(text_));
    caretShown_ = true;
    setNeedsDisplay();
    if (editing_) Keyboard::shared().caretDidMove();
}

// ---- Focus

bool TextField::becomeFirstResponder() {
    if (editing_) return true;
    if (!window()) {
        // Taken as soon as the field is in a window.
        focusPending_ = true;
        return false;
    }
    auto d = delegate();
    if (d && !d->textFieldShouldBeginEditing(*this)) return false;
    auto& keyboard = Keyboard::shared();
    Keyboard::FocusChange change;
    auto self = std::static_pointer_cast<View>(shared_from_this());
    // The focus moves straight from the other input to this one, so the keyboard stays up.
    if (!keyboard.takeFocusFrom(self)) return false;
    editing_ = true;
    focusPending_ = false;
    caret_ = core::utf16::length(text_);
    keyboard.setFirstResponder(self);
    startBlinking();
    setNeedsDisplay();
    if (d) d->textFieldDidBeginEditing(*this);
    core::NotificationCenter::defaultCenter().post(kTextDidBeginEditingNotification, shared_from_this());
    sendActionsForControlEvents(editingDidBegin);
    return true;
}

bool TextField::resignFirstResponder(bool force) {
    focusPending_ = false;
    if (!editing_) return true;
    auto d = delegate();
    if (!force && d && !d->textFieldShouldEndEditing(*this)) return false;
    // Text still in the input method is kept as typed.
    if (!marked_.empty()) {
        std::string pending = marked_;
        insertText(pending);
    }
    endEditing(TextFieldDidEndEditingReason::committed);
    return true;
}

void TextField::endEditing(TextFieldDidEndEditingReason reason) {
    editing_ = false;
    stopBlinking();
    Keyboard::FocusChange change;
    Keyboard::shared().resignFirstResponder(this);
    setNeedsDisplay();
    if (auto d = delegate()) d->textFieldDidEndEditing(*this, reason);
    core::NotificationCenter::defaultCenter().post(kTextDidEndEditingNotification, shared_from_this());
    sendActionsForControlEvents(editingDidEnd);
}

void TextField::didMoveToWindow() {
    Control::didMoveToWindow();
    if (window() && focusPending_) {
        // The field may still be mid-way into its tree; take the focus once it is settled.
        std::weak_ptr<TextField> weak = std::static_pointer_cast<TextField>(shared_from_this());
        dispatch::Queue::main()->async([weak] {
            if (auto self = weak.lock(); self && self->focusPending_ && self->window()) self->becomeFirstResponder();
        });
    } else if (!window() && editing_) {
        // Gone from the screen: the editing is torn down, whatever the delegate would say.
        if (!marked_.empty()) {
            std::string pending = marked_;
            insertText(pending);
        }
        endEditing(TextFieldDidEndEditingReason::cancelled);
    }
}

void TextField::startBlinking() {
    caretShown_ = true;
    std::weak_ptr<TextField> weak = std::static_pointer_cast<TextField>(shared_from_this());
    blink_ = dispatch::Timer::start(dispatch::Queue::main(), kBlinkInterval, true, [weak] {
        if (auto self = weak.lock()) {
            self->caretShown_ = !self->caretShown_;
            self->setNeedsDisplay();
        }
    });
}

void TextField::stopBlinking() {
    if (blink_) blink_->cancel();
    blink_.reset();
}

// ---- Editing

bool TextField::replace(TextRange range, const std::string& replacement) {
    auto d = delegate();
    if (d && !d->shouldChangeCharactersInRange(*this, range, replacement)) return false;
    std::size_t start = core::utf16::utf8Offset(text_, range.location);
    std::size_t end = core::utf16::utf8Offset(text_, range.location + range.length);
    text_.replace(start, end - start, replacement);
    caret_ = range.location + core::utf16::length(replacement);
    changed();
    return true;
}

void TextField::changed() {
    caretShown_ = true;
    setNeedsDisplay();
    Keyboard::shared().caretDidMove();
    sendActionsForControlEvents(editingChanged);
    core::NotificationCenter::defaultCenter().post(kTextDidChangeNotification, shared_from_this());
}

void TextField::clear() {
    auto d = delegate();
    if (d && !d->textFieldShouldClear(*this)) return;
    marked_.clear();
    markedCursor_ = 0;
    if (text_.empty()) {
        setNeedsDisplay();
        return;
    }
    text_.clear();
    caret_ = 0;
    changed();
}

void TextField::insertText(const std::string& text) {
    marked_.clear();
    markedCursor_ = 0;
    if (text.empty()) {
        setNeedsDisplay();
        return;
    }
    replace({caret_, 0}, text);
}

void TextField::deleteBackward() {
    if (!marked_.empty()) return;  // the input method edits its own text
    auto units = core::utf16::fromUtf8(text_);
    std::size_t n = core::utf16::unitsBefore(units, caret_);
    if (n == 0) return;
    replace({caret_ - n, n}, "");
}

void TextField::setMarkedText(const std::string& text, std::size_t cursorUtf16) {
    marked_ = text;
    markedCursor_ = std::min(cursorUtf16, core::utf16::length(text));
    caretShown_ = true;
    setNeedsDisplay();
    Keyboard::shared().caretDidMove();
}

void TextField::unmarkText() {
    marked_.clear();
    markedCursor_ = 0;
    setNeedsDisplay();
}

void TextField::handleKey(EditingKey key) {
    auto units = core::utf16::fromUtf8(text_);
    switch (key) {
    case EditingKey::returnKey: {
        auto d = delegate();
        if (d) d->textFieldShouldReturn(*this);
        sendActionsForControlEvents(editingDidEndOnExit);
        break;
    }
    case EditingKey::deleteForward:
        if (std::size_t n = core::utf16::unitsAfter(units, caret_)) replace({caret_, n}, "");
        break;
    case EditingKey::left: setCaret(caret_ - core::utf16::unitsBefore(units, caret_)); break;
    case EditingKey::right: setCaret(caret_ + core::utf16::unitsAfter(units, caret_)); break;
    case EditingKey::home: setCaret(0); break;
    case EditingKey::end: setCaret(units.size()); break;
    case EditingKey::escape: unmarkText(); break;
    }
}

// ---- Layout and drawing

gfx::TextLayout TextField::layoutFor(const std::string& text, const gfx::Font& font) const {
    gfx::TextLayout layout;
    layout.setFont(font);
    layout.setMaximumLines(1);
    layout.setText(text);
    return layout;
}

double TextField::widthOf(const std::string& text) const { return text.empty() ? 0 : layoutFor(text, font_).size().width; }

double TextField::textOriginX(double width) const {
    double w = textAreaWidth();
    if (alignment_ == TextAlignment::center) return std::max(0.0, (w - width) / 2);
    if (alignment_ == TextAlignment::right) return std::max(0.0, w - width - kCaretWidth);
    return 0;
}

std::size_t TextField::offsetAt(double x) const {
    // The boundary between characters nearest to x.
    double origin = textOriginX(widthOf(text_)) - scrollX_;
    std::size_t best = 0, units = 0, pos = 0;
    double bestDistance = std::fabs(x - origin);
    while (pos < text_.size()) {
        char32_t cp = core::utf16::decode(text_, pos);
        units += cp > 0xFFFF ? 2 : 1;
        double d = std::fabs(x - (origin + widthOf(text_.substr(0, pos))));
        if (d < bestDistance) {
            bestDistance = d;
            best = units;
        }
    }
    return best;
}

gfx::Rect TextField::caretRectInWindow() const {
    std::size_t at = core::utf16::utf8Offset(text_, caret_);
    std::string before = text_.substr(0, at) + core::utf16::toUtf8(core::utf16::fromUtf8(marked_).substr(0, markedCursor_));
    double x = textOriginX(widthOf(text_) + widthOf(marked_)) + widthOf(before) - scrollX_;
    double h = font_.lineHeight();
    gfx::Rect local{x, (bounds().height() - h) / 2, kCaretWidth, h};
    return convertRect(local, nullptr);
}

void TextField::drawRect(gfx::Context& context, const gfx::Rect&) {
    if (isClearButtonShown()) {
        const gfx::Rect r = clearButtonRect();
        context.setFillColor(kClearButtonColor);
        context.fillPath(gfx::Path::ellipse(r));
        const double arm = r.width() * 0.18;
        gfx::Path cross;
        cross.moveTo({r.midX() - arm, r.midY() - arm});
        cross.lineTo({r.midX() + arm, r.midY() + arm});
        cross.moveTo({r.midX() + arm, r.midY() - arm});
        cross.lineTo({r.midX() - arm, r.midY() + arm});
        context.setStrokeColor(gfx::Color::whiteColor());
        context.setLineWidth(1.5);
        context.setLineCap(gfx::Context::LineCap::round);
        context.strokePath(cross);
    }
    const gfx::Rect whole = bounds();
    const gfx::Rect b{whole.x(), whole.y(), textAreaWidth(), whole.height()};
    context.save();
    context.clipToRect(b);
    std::size_t at = core::utf16::utf8Offset(text_, caret_);
    std::string before = text_.substr(0, at), after = text_.substr(at);
    std::string shown = before + marked_ + after;
    if (shown.empty()) {
        if (!placeholder_.empty()) {
            auto layout = layoutFor(placeholder_, placeholderFont_.value_or(font_));
            gfx::Size s = layout.size();
            double x = alignment_ == TextAlignment::center  ? (b.width() - s.width) / 2
                       : alignment_ == TextAlignment::right ? b.width() - s.width
                                                            : 0;
            layout.draw(context, {b.x() + x, b.y() + (b.height() - s.height) / 2}, placeholderColor_.value_or(kPlaceholderColor));
        }
        scrollX_ = 0;
    }
    double total = widthOf(shown);
    double origin = textOriginX(total);
    std::string toCaret = before + core::utf16::toUtf8(core::utf16::fromUtf8(marked_).substr(0, markedCursor_));
    double caretX = origin + widthOf(toCaret);
    // Long text scrolls so that the caret stays in view.
    if (caretX - scrollX_ > b.width() - kCaretWidth) scrollX_ = caretX - (b.width() - kCaretWidth);
    if (caretX - scrollX_ < 0) scrollX_ = caretX;
    if (total <= b.width()) scrollX_ = 0;
    double lineH = font_.lineHeight();
    double top = b.y() + (b.height() - lineH) / 2;
    if (!shown.empty()) {
        auto layout = layoutFor(shown, font_);
        gfx::Size s = layout.size();
        layout.draw(context, {b.x() + origin - scrollX_, b.y() + (b.height() - s.height) / 2}, textColor_);
        if (!marked_.empty()) {
            // Text in progress in the input method is underlined.
            double x0 = origin + widthOf(before) - scrollX_;
            context.setFillColor(textColor_);
            context.fillRect({b.x() + x0, top + lineH - 1.5, widthOf(marked_), 1});
        }
    }
    if (editing_ && caretShown_) {
        context.setFillColor(kCaretColor);
        context.fillRect({b.x() + caretX - scrollX_, top, kCaretWidth, lineH});
    }
    context.restore();
}

void TextField::touchesEnded(const TouchSet& touches) {
    bool wasTracking = isTracking();
    Control::touchesEnded(touches);
    if (!wasTracking || touches.empty() || !isEnabled()) return;
    gfx::Point p = touches.front()->locationInView(this);
    if (!bounds().contains(p)) return;
    const gfx::Rect clearArea = clearButtonRect().insetBy(-kClearButtonSlop, -kClearButtonSlop);
    const bool onClear = isClearButtonShown() && clearArea.contains(p);
    if (!editing_ && !becomeFirstResponder()) return;
    if (onClear) clear();
    else setCaret(offsetAt(p.x));
}

} // namespace ui
