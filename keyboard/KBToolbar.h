#pragma once
// The input toolbar: one item of each role (previous, next, title, done, fixed space), each made
// on its first read with its fixed accessibility label, a height of 44 points, its tint passed to
// its items, a title that turns yellow on a black bar, and, on systems before 11.0, a title laid
// out by the bar itself between its neighbouring controls. KBPreviousNextView is an empty marker:
// inputs anywhere inside one form one previous/next group. Main thread only.

#include "keyboard/KBBarButtonItem.h"
#include "platform/ui/Toolbar.h"

namespace keyboard {

class KBToolbar : public ui::Toolbar {
    QUILLORA_CLASS(KBToolbar)

    static constexpr gfx::Color kYellow{1, 1, 0, 1};

    using ui::Toolbar::Toolbar;
    // The first KBToolbar of the process first clears its class's appearance
    // (resetToolbarAppearance); every bar then takes the platform's appearance and its class's.
    void init() override;
    ~KBToolbar() override;

    // The settings every KBToolbar takes when made, after the platform's.
    static ui::ToolbarAppearance& appearance();
    // Bar tint, background images for the four positions (default metrics), the shadow image for
    // any position and the background colour of the class's appearance, each set to nothing.
    static void resetToolbarAppearance();

    const std::shared_ptr<KBBarButtonItem>& previousBarButton();
    void setPreviousBarButton(std::shared_ptr<KBBarButtonItem> item) { previous_ = std::move(item); }
    const std::shared_ptr<KBBarButtonItem>& nextBarButton();
    void setNextBarButton(std::shared_ptr<KBBarButtonItem> item) { next_ = std::move(item); }
    const std::shared_ptr<KBTitleBarButtonItem>& titleBarButton();
    void setTitleBarButton(std::shared_ptr<KBTitleBarButtonItem> item) { title_ = std::move(item); }
    const std::shared_ptr<KBBarButtonItem>& doneBarButton();
    void setDoneBarButton(std::shared_ptr<KBBarButtonItem> item) { done_ = std::move(item); }
    // Every read marks the item a system item and sets its width: 20 before system 10, else 6.
    const std::shared_ptr<KBBarButtonItem>& fixedSpaceBarButton();
    void setFixedSpaceBarButton(std::shared_ptr<KBBarButtonItem> item) { fixedSpace_ = std::move(item); }

    gfx::Size sizeThatFits(gfx::Size size) const override;
    void setTintColor(std::optional<gfx::Color> color) override;
    void setBarStyle(ui::BarStyle style) override;
    void layoutSubviews() override;
    bool enableInputClicksWhenVisible() const { return true; }
    // The list the builder last handed the bar, kept so that the next build changes only the
    // entries that differ (see Toolbar::setItems).
    std::vector<std::shared_ptr<ui::BarButtonItem>>& builtItems() { return builtItems_; }

private:
    std::vector<std::shared_ptr<ui::BarButtonItem>> builtItems_;
    std::shared_ptr<KBBarButtonItem> previous_;
    std::shared_ptr<KBBarButtonItem> next_;
    std::shared_ptr<KBTitleBarButtonItem> title_;
    std::shared_ptr<KBBarButtonItem> done_;
    std::shared_ptr<KBBarButtonItem> fixedSpace_;
};

class KBPreviousNextView : public ui::View {
    QUILLORA_CLASS(KBPreviousNextView)
    using ui::View::View;
};

} // namespace keyboard
