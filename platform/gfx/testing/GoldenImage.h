#pragma once
// Test support: compares a rendered image with a golden PNG kept in the source tree, allowing a
// small difference per channel and a few differing pixels (antialiasing differs slightly
// between library versions). With QUILLORA_UPDATE_GOLDENS=1 in the environment the golden is
// written instead, for a developer who has checked the new picture by eye. A failed comparison
// writes the actual picture next to the build's working directory for inspection.

#include "platform/gfx/Image.h"

#include <gtest/gtest.h>

#include <string>

namespace gfx::testing {

struct GoldenTolerance {
    int channel = 16;              // largest difference per colour channel that counts as equal
    double differingShare = 0.005; // share of pixels that may differ by more than that
};

::testing::AssertionResult matchesGolden(const Image& actual, const std::string& goldenPath,
                                         GoldenTolerance tolerance = {});

} // namespace gfx::testing
