#pragma once
// The labels of the refresh controls, all in one look: bold 14, dark grey, centred, clear.

#include "platform/ui/Label.h"

#include <memory>

namespace refresh {

class RefreshLabel {
public:
    static std::shared_ptr<ui::Label> rf_label();
    // The width of the label's text on one line, however long; 0 for an empty text.
    static double rf_textWith(const ui::Label& label);
};

} // namespace refresh
