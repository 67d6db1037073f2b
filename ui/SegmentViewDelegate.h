#pragma once
// Told of taps on a SegmentView's items. The view holds its delegate weakly.
namespace kit {

class SegmentView;
class SegmentItemView;

class SegmentViewDelegate {
public:
    virtual ~SegmentViewDelegate() = default;
    // A tap on `item`, after the selection has changed. Does nothing unless overridden.
    virtual void segmentView(SegmentView& view, SegmentItemView& item) { (void)view; (void)item; }
};

} // namespace kit
