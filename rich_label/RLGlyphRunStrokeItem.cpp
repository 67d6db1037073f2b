#include "rich_label/RLGlyphRunStrokeItem.h"

std::shared_ptr<RLGlyphRunStrokeItem> RLGlyphRunStrokeItem::copy() const {
    auto item = core::make<RLGlyphRunStrokeItem>();
    item->fillColor = fillColor;
    item->strokeColor = strokeColor;
    item->activeFillColor = activeFillColor;
    item->activeStrokeColor = activeStrokeColor;
    item->strokeLineWidth = strokeLineWidth;
    item->cornerRadius = cornerRadius;
    item->runBounds = runBounds;
    item->locBounds = locBounds;
    item->withOutMergeBounds = withOutMergeBounds;
    item->runDescent = runDescent;
    item->runRef = runRef;
    item->insertView = insertView;
    item->isInsertView = isInsertView;
    item->range = range;
    item->parameter = parameter;
    item->lineVerticalLayout = lineVerticalLayout;
    item->isLink = isLink;
    item->needRedrawn = needRedrawn;
    item->linkBlock = linkBlock;
    item->longPressBlock = longPressBlock;
    item->characterIndex = characterIndex;
    item->characterRange = characterRange;
    item->strikethroughStyle = strikethroughStyle;
    item->strikethroughColor = strikethroughColor;
    return item;
}
