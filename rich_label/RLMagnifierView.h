#pragma once
// The loupe of a text selection: a white rounded body with a pointer towards the finger, showing
// the key window around a point at 1.4 times its size. The picture is what lies below the loupe
// in the window (the loupe never shows itself).

#include "platform/ca/Layer.h"
#include "platform/ui/View.h"

class RLContentLayer : public ca::Layer, public ca::LayerDelegate {
    QUILLORA_CLASS(RLContentLayer)

    void init() override;
    static constexpr double kScale = 1.4;

    gfx::Point pointToMagnify() const { return pointToMagnify_; }
    void setPointToMagnify(gfx::Point p) { pointToMagnify_ = p; }
    // The layer whose tree is not drawn (the loupe's own).
    void setExcludedLayer(std::weak_ptr<ca::Layer> layer) { excluded_ = std::move(layer); }
    double contentsScale() const { return contentsScale_; }
    void setContentsScale(double scale) { contentsScale_ = scale; }

    void drawInContext(gfx::Context& context);
    void displayLayer(ca::Layer& layer) override;

private:
    gfx::Point pointToMagnify_;
    std::weak_ptr<ca::Layer> excluded_;
    double contentsScale_ = 1;
};

class RLMagnifierView : public ui::View {
    QUILLORA_CLASS(RLMagnifierView)

    using ui::View::View;
    void init() override;

    // The platform's light grey, for the borders and shadows.
    static constexpr gfx::Color kLightGray = gfx::Color::white(2.0 / 3.0);

    const std::shared_ptr<RLContentLayer>& contentLayer() const { return contentLayer_; }
    gfx::Point pointToMagnify() const { return pointToMagnify_; }
    // In window points.
    void setPointToMagnify(gfx::Point p);
    // Centres the loupe over `showMagnifyViewIn` with its bottom edge there (keeping its height
    // when there is no room above) and enlarges around `magnifyPoint`; both in window points.
    void updateMagnifyPoint(gfx::Point magnifyPoint, gfx::Point showMagnifyViewIn);

private:
    std::shared_ptr<RLContentLayer> contentLayer_;
    gfx::Point pointToMagnify_;
};
