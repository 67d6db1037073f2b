#pragma once
// Marks one composed character of a label's text in copy mode: a link value unique to the
// character, so that each character becomes a glyph run of its own and knows its index.

#include "platform/core/Object.h"
#include "platform/text/Range.h"

#include <string>

class RLCTRunUrl : public core::Object {
    QUILLORA_CLASS(RLCTRunUrl)

    explicit RLCTRunUrl(std::string url) : url_(std::move(url)) {}
    const std::string& absoluteString() const { return url_; }

    std::int64_t index = 0;
    text::Range rangeValue;

private:
    std::string url_;
};
