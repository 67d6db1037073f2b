#pragma once
// Decodes a PNG or JPEG picture while its bytes arrive: append() takes only the new bytes, and
// image() gives the picture so far at its full size, the rows received at the top and the rest
// transparent (nullptr until the first row has arrived). A picture over Image::kDecodePixelBudget
// gives none. Interlaced PNGs fill in pass by pass. Anything
// else (other formats, damaged data) gives no partial picture; the caller decodes the whole bytes
// once they are complete. One thread at a time.

#include "platform/gfx/Image.h"

#include <memory>
#include <string_view>

namespace gfx {

class IncrementalDecoder {
public:
    IncrementalDecoder();
    ~IncrementalDecoder();
    IncrementalDecoder(const IncrementalDecoder&) = delete;
    IncrementalDecoder& operator=(const IncrementalDecoder&) = delete;

    void append(std::string_view bytes);
    // Size in pixels once the header has been read; 0 before.
    int pixelWidth() const;
    int pixelHeight() const;
    // The picture so far (the EXIF orientation of a JPEG applied); nullptr before the first row or
    // when the data cannot be decoded this way.
    ImagePtr image() const;
    bool failed() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

} // namespace gfx
