#pragma once
// The process-wide list of the pages' scroll views and tables. Pages add their scroll view when
// it loads and their table when they make it, and remove exactly those when they go away; the
// service client asks it whether any pull-to-refresh control is busy before it shows its loading
// overlay. Main thread only, so there is no lock.
#include "platform/ui/ScrollView.h"
#include "ui/RefreshStates.h"

#include <memory>
#include <vector>

namespace kit {

std::vector<std::shared_ptr<ui::ScrollView>>& scrollViewRegistry();

// The states of a scroll view's refresh header and footer, as the shared look's idle test reads
// them (absent when the scroll view has no such control).
RefreshStates refreshStatesOf(const ui::ScrollView& scrollView);

// Whether no control of any registered scroll view is pulling or loading.
bool isEveryRegisteredScrollViewIdle();

} // namespace kit
