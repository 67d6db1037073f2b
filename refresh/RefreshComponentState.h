#pragma once
// The state of every refresh control. The values are fixed: pages and tests compare them as
// numbers (Idle and NoMoreData count as at rest). There is no state 0.

#include <cstdint>

namespace refresh {

enum class RefreshComponentState : std::int64_t {
    Idle = 1,         // at rest
    Pulling = 2,      // pulled past the trigger; letting go starts a refresh
    Refreshing = 3,   // the owner is loading
    WillRefresh = 4,  // asked to refresh while in no window; refreshes when next drawn
    NoMoreData = 5,   // footers only: everything has been loaded
};

} // namespace refresh
