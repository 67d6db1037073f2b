#pragma once
// The platform's spinner: twelve spokes that turn in steps, a full turn a second, while
// animating. Its size follows its style (37 points for the large style, 20 for the others); it
// hides itself when stopped unless told otherwise. Main thread only.

#include "platform/ui/View.h"

namespace ui {

enum class ActivityIndicatorViewStyle : long { whiteLarge = 0, white = 1, gray = 2 };

class ActivityIndicatorView : public View {
    QUILLORA_CLASS(ActivityIndicatorView)

    explicit ActivityIndicatorView(ActivityIndicatorViewStyle style = ActivityIndicatorViewStyle::white);
    void init() override;

    ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    // Changes the style, its size (the centre stays) and its colour.
    void setActivityIndicatorViewStyle(ActivityIndicatorViewStyle style);
    const gfx::Color& color() const { return color_; }
    void setColor(gfx::Color color);
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    static gfx::Size sizeForStyle(ActivityIndicatorViewStyle style);
    gfx::Size sizeThatFits(gfx::Size size) const override;
    bool drawsContent() const override { return true; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void didMoveToWindow() override;

private:
    void addSpin();

    ActivityIndicatorViewStyle style_;
    gfx::Color color_;
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
};

} // namespace ui
