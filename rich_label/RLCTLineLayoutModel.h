#pragma once
// One drawn line of a rich label: its metrics and the band a selection highlights for it (the
// band is rewritten on every draw).

#include "platform/core/Object.h"
#include "rich_label/RLCTLineVerticalLayout.h"

class RLCTLineLayoutModel : public core::Object {
    QUILLORA_CLASS(RLCTLineLayoutModel)

    std::int64_t lineIndex = 0;
    RLCTLineVerticalLayout lineVerticalLayout;
    double selectCopyBackY = 0;       // top of the band, view space
    double selectCopyBackHeight = 0;
};
