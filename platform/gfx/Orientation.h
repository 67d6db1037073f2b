#pragma once
// EXIF orientation: how a picture's stored pixels must be turned to be seen upright. Values 1-8 as
// cameras write them (1 upright, 2 mirrored left-right, 3 turned half round, 4 mirrored top-bottom,
// 5 mirrored along the main diagonal, 6 turned a quarter clockwise, 7 mirrored along the other
// diagonal, 8 turned a quarter anticlockwise); 5-8 swap width and height.

#include <cstdint>
#include <string_view>
#include <vector>

namespace gfx {

// The orientation tag of JPEG data (the first APP1 "Exif" segment) or TIFF data (the first
// directory); 1 when there is none, it is damaged or out of 1-8.
int exifOrientation(std::string_view bytes);
// The orientation tag of a TIFF structure (from its byte-order mark on); 1 when absent.
int tiffOrientation(std::string_view tiff);

// Pixels of `width` × `height` turned upright; width and height become the upright size.
std::vector<uint32_t> orientPixels(const std::vector<uint32_t>& pixels, int& width, int& height, int orientation);

} // namespace gfx
