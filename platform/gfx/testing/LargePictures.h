#pragma once
// Test support: pictures of any size made row by row, so that a test never holds their pixels
// (16384 x 16384 grey compresses to about 260 KB of PNG).

#include <string>

namespace gfx::testkit {

enum class PngLayout { grey, greyWithAlpha, interlacedGrey };

// Every pixel mid grey (half transparent with alpha).
std::string largePng(int width, int height, PngLayout layout = PngLayout::grey);
// 16384 x 16384 grey: about 261 KB of PNG for a gigabyte of pixels. Made once per process (it
// takes a second or two to compress).
const std::string& giantPng();
// Every pixel of one colour, at the given quality (0-100).
std::string solidJpeg(int width, int height, unsigned char r = 0x80, unsigned char g = 0x80, unsigned char b = 0x80, int quality = 90);

} // namespace gfx::testkit
