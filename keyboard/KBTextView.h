#pragma once
// A text view that shows a grey hint (its placeholder) while it holds no text. The hint's label is
// made on first use, starts hidden, and shows or hides only when the text changes (the view's own
// change notification), when text or placeholder are set in code, and when the delegate is read.
// It follows the view's font (system 12 without one) and alignment and sits inside the text
// container inset and line fragment padding. Main thread only.

#include "platform/core/NotificationCenter.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextView.h"

namespace keyboard {

class KBTextView : public ui::TextView {
    QUILLORA_CLASS(KBTextView)

    static constexpr gfx::Color kPlaceholderColor = gfx::Color::white(0.7, 1.0);

    using ui::TextView::TextView;
    void init() override;
    ~KBTextView() override;

    std::optional<gfx::Color> placeholderTextColor();
    void setPlaceholderTextColor(std::optional<gfx::Color> color);
    std::optional<std::string> placeholder() const;
    void setPlaceholder(std::optional<std::string> placeholder);

    void setText(std::string text) override;
    void setFont(std::optional<gfx::Font> font) override;
    void setTextAlignment(ui::TextAlignment alignment) override;
    std::shared_ptr<ui::TextViewDelegate> delegate() const override;

    void refreshPlaceholder() const;
    void layoutSubviews() override;

    const std::shared_ptr<ui::Label>& placeholderLabel() const;

private:
    mutable std::shared_ptr<ui::Label> label_;
    core::NotificationCenter::Token changeToken_;
};

} // namespace keyboard
