#pragma once
// The pixels of a picture being decoded, taken row by row from the top: kept whole, or averaged
// down to a smaller size as they arrive. Room for the result is reserved when the first row
// comes, but its memory is touched only as rows are written, so a stream that ends early costs
// the rows it delivered, not the whole picture.
//
// Scaling down averages, for each pixel of the result, the box of source pixels it covers (rows
// [y * height / outHeight, (y + 1) * height / outHeight), columns likewise), channel by channel,
// rounded to nearest. One thread at a time.

#include "platform/gfx/Image.h"

#include <cstdint>
#include <vector>

namespace gfx {

struct PixelSize {
    int width = 0;
    int height = 0;
    std::uint64_t area() const { return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height); }
};

// The size a picture of `size` takes when it must fit `budget` pixels: each side shrinks by the
// square root of budget / area (at least one pixel). A picture within the budget keeps its size.
PixelSize sizeWithinPixelBudget(PixelSize size, std::uint64_t budget);

class DecodedRows {
public:
    // Keeps the rows whole when `out` equals `source`; `out` may not be larger on either side.
    DecodedRows(PixelSize source, PixelSize out);

    // Where the next source row's `source.width` pixel words go, and the call that takes them.
    std::uint32_t* nextRow();
    void rowDone();

    int rowsDone() const { return rowsDone_; }
    bool complete() const { return rowsDone_ == source_.height; }
    PixelSize outSize() const { return out_; }
    // The result, `out` rows of `out.width` words; call once all source rows are done.
    std::vector<std::uint32_t> take();

private:
    void addToSums(const std::uint32_t* row);
    void finishOutRow();

    PixelSize source_, out_;
    bool scaling_;
    int rowsDone_ = 0;
    std::vector<std::uint32_t> pixels_;
    // While scaling: one source row, the channel sums of the output row being gathered, and the
    // source column each output column starts at.
    std::vector<std::uint32_t> row_;
    std::vector<std::uint64_t> sums_;
    std::vector<int> columnStart_;
    int outRow_ = 0;
};

} // namespace gfx
