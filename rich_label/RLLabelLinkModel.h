#pragma once
// What a rich label reports for a tapped or long-pressed link, and the delegate that hears of it.

#include "platform/core/Object.h"
#include "platform/core/Value.h"
#include "platform/gfx/Rect.h"
#include "platform/text/AttributedString.h"

#include <memory>

class RLLabel;

class RLLabelLinkModel : public core::Object {
    QUILLORA_CLASS(RLLabelLinkModel)

    // `insertView` is the inserted object of the link's run: for a view (its container), the
    // app's own view inside it is kept; for an image, the image.
    RLLabelLinkModel(text::AttributedString attributedString, const core::Value& insertView, gfx::Rect insertViewRect,
                     core::Value parameter, text::Range linkRange, std::shared_ptr<RLLabel> label);

    const std::shared_ptr<RLLabel>& label() const { return label_; }
    const text::AttributedString& attributedString() const { return attributedString_; }
    const core::Value& parameter() const { return parameter_; }
    text::Range linkRange() const { return linkRange_; }
    gfx::Rect insertViewRect() const { return insertViewRect_; }
    const core::Value& insertView() const { return insertView_; }

private:
    std::shared_ptr<RLLabel> label_;
    text::AttributedString attributedString_;
    core::Value parameter_;
    text::Range linkRange_;
    gfx::Rect insertViewRect_;
    core::Value insertView_;
};

// Both methods are optional: the defaults do nothing. Each is sent after the link's own block.
class RLLabelLinkDelegate {
public:
    virtual ~RLLabelLinkDelegate() = default;
    virtual void RLLableDidClickLink(RLLabel& label, const std::shared_ptr<RLLabelLinkModel>& link) {
        (void)label;
        (void)link;
    }
    virtual void RLLableDidLongPressLink(RLLabel& label, const std::shared_ptr<RLLabelLinkModel>& link) {
        (void)label;
        (void)link;
    }
};
