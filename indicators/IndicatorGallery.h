#pragma once
// A picture of indicators side by side: each type in white on a dark cell with its case name
// under it, cells in the types' order, `perRow` to a row. With several times, each type gets one
// cell per time, showing its animation that many seconds after the build (so a row of four times
// and four cells to a row gives one type per row). The gallery of all types is six to a row.
#include "indicators/ActivityIndicatorType.h"
#include "platform/gfx/Image.h"
#include "platform/ui/View.h"

#include <memory>
#include <vector>

namespace indicators {

class IndicatorGallery {
public:
    static constexpr double kCellWidth = 110, kCellHeight = 96, kSide = 60;

    // Builds the cells now, on the media clock.
    IndicatorGallery(const std::vector<ActivityIndicatorType>& types = allIndicatorTypes(), int perRow = 6,
                     const std::vector<double>& times = {0});

    const std::shared_ptr<ui::View>& view() const { return view_; }
    // The media time of the build.
    double buildTime() const { return buildTime_; }
    // The picture at `secondsAfterBuild`, drawn at `scale` through the renderer's media time.
    std::shared_ptr<const gfx::Image> render(double secondsAfterBuild, double scale = 2) const;

private:
    std::shared_ptr<ui::View> view_;
    double buildTime_ = 0;
};

} // namespace indicators
