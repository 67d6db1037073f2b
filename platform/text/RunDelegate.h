#pragma once
// Reserves space in a line for something the text layer does not draw (an inserted image or
// view): its character is laid out as a box with the delegate's ascent, descent and width. The
// reference value is handed to each callback, so one set of callbacks serves many boxes.

#include "platform/core/Value.h"

#include <functional>
#include <memory>

namespace text {

class RunDelegate {
public:
    using Metric = std::function<double(const core::Value& reference)>;
    struct Callbacks {
        Metric ascent;
        Metric descent;
        Metric width;
    };

    RunDelegate(Callbacks callbacks, core::Value reference)
        : callbacks_(std::move(callbacks)), reference_(std::move(reference)) {}

    double ascent() const { return callbacks_.ascent ? callbacks_.ascent(reference_) : 0; }
    double descent() const { return callbacks_.descent ? callbacks_.descent(reference_) : 0; }
    double width() const { return callbacks_.width ? callbacks_.width(reference_) : 0; }
    const core::Value& reference() const { return reference_; }

private:
    Callbacks callbacks_;
    core::Value reference_;
};

using RunDelegatePtr = std::shared_ptr<const RunDelegate>;

} // namespace text
