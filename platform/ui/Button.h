#pragma once
// A button: a control with a title and an image per state. A state without its own title, colour
// or image shows the normal one. While highlighted or disabled, the title and the image each dim
// to half opacity unless the state has a look of its own for that part (a title or title colour
// for the title, an image for the image, a background image for both).
// Image and title sit side by side, centred, inside the content insets. A background image (per
// state, falling back to the normal one) fills the whole button behind them; its view is made on
// the first background image set.

#include "platform/ui/Control.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

#include <map>

namespace ui {

class Button : public Control {
    QUILLORA_CLASS(Button)

    using Control::Control;
    void init() override;

    void setTitle(std::optional<std::string> title, unsigned state = stateNormal);
    std::optional<std::string> titleForState(unsigned state) const;
    void setTitleColor(std::optional<gfx::Color> color, unsigned state = stateNormal);
    gfx::Color titleColorForState(unsigned state) const;
    void setImage(gfx::ImagePtr image, unsigned state = stateNormal);
    gfx::ImagePtr imageForState(unsigned state) const;
    void setBackgroundImage(gfx::ImagePtr image, unsigned state = stateNormal);
    gfx::ImagePtr backgroundImageForState(unsigned state) const;
    gfx::ImagePtr currentBackgroundImage() const { return backgroundImageForState(state()); }
    gfx::EdgeInsets contentEdgeInsets() const { return insets_; }
    void setContentEdgeInsets(gfx::EdgeInsets insets) { insets_ = insets; setNeedsLayout(); }

    const std::shared_ptr<Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ImageView>& imageView() const { return imageView_; }
    std::optional<std::string> currentTitle() const { return titleForState(state()); }

    gfx::Size sizeThatFits(gfx::Size size) const override;
    void layoutSubviews() override;
    std::optional<std::string> dumpText() const override { return currentTitle(); }

protected:
    void stateDidChange() override;

private:
    void refresh();

    std::map<unsigned, std::string> titles_;
    std::map<unsigned, gfx::Color> titleColors_;
    std::map<unsigned, gfx::ImagePtr> images_;
    std::map<unsigned, gfx::ImagePtr> backgroundImages_;
    std::shared_ptr<ImageView> backgroundView_;
    gfx::EdgeInsets insets_;
    std::shared_ptr<Label> titleLabel_;
    std::shared_ptr<ImageView> imageView_;
};

} // namespace ui
