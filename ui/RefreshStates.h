#pragma once
// What the refresh-idle test needs to know of a scroll view: the state of its pull-to-refresh
// header and footer, where it has them (1 idle, 2 pulling, 3 refreshing, 4 will refresh, 5 no
// more data). A scroll view with refresh controls describes itself with this value, so the shared
// look does not depend on the scroll view or refresh classes.
#include <optional>

namespace kit {

struct RefreshStates {
    std::optional<int> header;
    std::optional<int> footer;
};

} // namespace kit
