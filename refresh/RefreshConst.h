#pragma once
// Values shared by the refresh controls: sizes, durations, the arrow's turn, text keys and the
// look of their labels.

#include "platform/gfx/Color.h"
#include "platform/gfx/Font.h"

#include <numbers>

namespace refresh {

inline constexpr double kRefreshHeaderHeight = 54;
inline constexpr double kRefreshFooterHeight = 44;
// The gap between the arrow or spinner and the text.
inline constexpr double kRefreshLabelLeftInset = 25;
// The same gap beside the animated images.
inline constexpr double kRefreshGifLabelLeftInset = 20;
inline constexpr double kRefreshFastAnimationDuration = 0.25;
inline constexpr double kRefreshSlowAnimationDuration = 0.4;
inline constexpr double kRefreshDefaultImageDuration = 0.1;
// The arrow turned over: a hair less than half a turn, so that it always turns the same way.
inline constexpr double kRefreshArrowTurnedOver = 0.000001 - std::numbers::pi;

inline constexpr const char* kRefreshHeaderLastUpdatedTimeKey = "RefreshHeaderLastUpdatedTimeKey";

// Keys of the texts in the "Refresh" bundle (and in the app's own strings, which win).
inline constexpr const char* kRefreshHeaderIdleText = "RefreshHeaderIdleText";
inline constexpr const char* kRefreshHeaderPullingText = "RefreshHeaderPullingText";
inline constexpr const char* kRefreshHeaderRefreshingText = "RefreshHeaderRefreshingText";
inline constexpr const char* kRefreshHeaderLastTimeText = "RefreshHeaderLastTimeText";
inline constexpr const char* kRefreshHeaderDateTodayText = "RefreshHeaderDateTodayText";
inline constexpr const char* kRefreshHeaderNoneLastDateText = "RefreshHeaderNoneLastDateText";
inline constexpr const char* kRefreshAutoFooterIdleText = "RefreshAutoFooterIdleText";
inline constexpr const char* kRefreshAutoFooterRefreshingText = "RefreshAutoFooterRefreshingText";
inline constexpr const char* kRefreshAutoFooterNoMoreDataText = "RefreshAutoFooterNoMoreDataText";
inline constexpr const char* kRefreshBackFooterIdleText = "RefreshBackFooterIdleText";
inline constexpr const char* kRefreshBackFooterPullingText = "RefreshBackFooterPullingText";
inline constexpr const char* kRefreshBackFooterRefreshingText = "RefreshBackFooterRefreshingText";
inline constexpr const char* kRefreshBackFooterNoMoreDataText = "RefreshBackFooterNoMoreDataText";

inline const gfx::Font kRefreshLabelFont = gfx::Font::boldSystemFont(14);
inline constexpr gfx::Color kRefreshLabelTextColor = gfx::Color::rgb(90, 90, 90);

} // namespace refresh
