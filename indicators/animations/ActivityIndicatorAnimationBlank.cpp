#include "indicators/animations/ActivityIndicatorAnimationBlank.h"

namespace indicators {

void ActivityIndicatorAnimationBlank::buildAnimation(ca::Layer&, gfx::Size, const gfx::Color&) {}

} // namespace indicators
