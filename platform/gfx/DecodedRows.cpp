#include "platform/gfx/DecodedRows.h"

#include <algorithm>
#include <cmath>

namespace gfx {

PixelSize sizeWithinPixelBudget(PixelSize size, std::uint64_t budget) {
    if (size.width <= 0 || size.height <= 0 || size.area() <= budget) return size;
    // The budget bounds the area, so each side shrinks by the ratio's square root.
    const double side = std::sqrt(static_cast<double>(budget) / static_cast<double>(size.area()));
    return {std::max(1, static_cast<int>(size.width * side)), std::max(1, static_cast<int>(size.height * side))};
}

DecodedRows::DecodedRows(PixelSize source, PixelSize out)
    : source_(source), out_(out), scaling_(out.width != source.width || out.height != source.height) {
    if (!scaling_) return;
    row_.resize(static_cast<std::size_t>(source.width));
    sums_.assign(static_cast<std::size_t>(out.width) * 4, 0);
    columnStart_.resize(static_cast<std::size_t>(out.width) + 1);
    for (int x = 0; x <= out.width; ++x)
        columnStart_[static_cast<std::size_t>(x)] = static_cast<int>(static_cast<std::int64_t>(x) * source.width / out.width);
}

std::uint32_t* DecodedRows::nextRow() {
    // Room for the whole result is reserved at the first row: address space only, whose pages
    // are touched as rows are written. Growing by steps instead would copy the rows so far, and
    // since big blocks are mappings of their own, fault every page in again at each step.
    if (pixels_.capacity() == 0) pixels_.reserve(static_cast<std::size_t>(out_.area()));
    if (scaling_) return row_.data();
    const std::size_t width = static_cast<std::size_t>(source_.width);
    pixels_.resize((static_cast<std::size_t>(rowsDone_) + 1) * width);
    return pixels_.data() + static_cast<std::size_t>(rowsDone_) * width;
}

void DecodedRows::rowDone() {
    if (scaling_) {
        addToSums(row_.data());
        // The output row ends with the last source row of its box.
        const int lastOfBox = static_cast<int>(static_cast<std::int64_t>(outRow_ + 1) * source_.height / out_.height) - 1;
        if (rowsDone_ >= lastOfBox) finishOutRow();
    }
    ++rowsDone_;
}

void DecodedRows::addToSums(const std::uint32_t* row) {
    for (int x = 0; x < out_.width; ++x) {
        std::uint64_t* sum = sums_.data() + static_cast<std::size_t>(x) * 4;
        const int end = columnStart_[static_cast<std::size_t>(x) + 1];
        for (int sx = columnStart_[static_cast<std::size_t>(x)]; sx < end; ++sx) {
            const std::uint32_t p = row[sx];
            sum[0] += p & 0xff;
            sum[1] += (p >> 8) & 0xff;
            sum[2] += (p >> 16) & 0xff;
            sum[3] += p >> 24;
        }
    }
}

void DecodedRows::finishOutRow() {
    const int firstOfBox = static_cast<int>(static_cast<std::int64_t>(outRow_) * source_.height / out_.height);
    const std::uint64_t rows = static_cast<std::uint64_t>(rowsDone_ - firstOfBox + 1);
    for (int x = 0; x < out_.width; ++x) {
        std::uint64_t* sum = sums_.data() + static_cast<std::size_t>(x) * 4;
        const std::uint64_t n = rows * static_cast<std::uint64_t>(columnStart_[static_cast<std::size_t>(x) + 1] - columnStart_[static_cast<std::size_t>(x)]);
        std::uint32_t p = 0;
        for (int c = 0; c < 4; ++c) p |= static_cast<std::uint32_t>((sum[c] + n / 2) / n) << (c * 8);
        pixels_.push_back(p);
        std::fill_n(sum, 4, 0);
    }
    ++outRow_;
}

std::vector<std::uint32_t> DecodedRows::take() { return std::move(pixels_); }

} // namespace gfx
