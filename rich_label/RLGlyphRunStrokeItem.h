#pragma once
// One glyph run of a drawn line of a rich label: its boxes in both spaces (text space y up,
// view space y down), its decoration and its link data. Made anew on every draw; the label keeps
// copies of the link items for hit testing.

#include "platform/core/Object.h"
#include "platform/core/Value.h"
#include "platform/gfx/Color.h"
#include "platform/text/Range.h"
#include "platform/text/Run.h"
#include "rich_label/RLCTLineVerticalLayout.h"
#include "rich_label/RLLabelConfigure.h"

#include <memory>
#include <optional>

class RLGlyphRunStrokeItem : public core::Object {
    QUILLORA_CLASS(RLGlyphRunStrokeItem)

    std::optional<gfx::Color> fillColor;
    std::optional<gfx::Color> strokeColor;
    std::optional<gfx::Color> activeFillColor;
    std::optional<gfx::Color> activeStrokeColor;
    double strokeLineWidth = 0;
    double cornerRadius = 0;
    gfx::Rect runBounds;           // text space
    gfx::Rect locBounds;           // view space
    gfx::Rect withOutMergeBounds;  // view space, full line height, never merged
    double runDescent = 0;
    // The glyph run, not kept alive: it lives only as long as the draw that made the item.
    std::weak_ptr<const text::Run> runRef;
    core::Value insertView;        // the inserted image, image name or view; null otherwise
    bool isInsertView = false;
    text::Range range;             // a link's whole range; (0, 0) otherwise
    core::Value parameter;
    RLCTLineVerticalLayout lineVerticalLayout;
    bool isLink = false;
    bool needRedrawn = false;
    RLLinkBlock linkBlock;
    RLLinkBlock longPressBlock;
    std::int64_t characterIndex = 0;
    text::Range characterRange;
    double strikethroughStyle = 0;
    std::optional<gfx::Color> strikethroughColor;

    // A new item with every field of this one: values copied, objects and the run shared.
    std::shared_ptr<RLGlyphRunStrokeItem> copy() const;
};
