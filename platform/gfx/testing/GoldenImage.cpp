#include "platform/gfx/testing/GoldenImage.h"

#include <cstdlib>
#include <filesystem>

namespace gfx::testing {

::testing::AssertionResult matchesGolden(const Image& actual, const std::string& goldenPath,
                                         GoldenTolerance tolerance) {
    const char* update = std::getenv("QUILLORA_UPDATE_GOLDENS");
    if (update && std::string(update) == "1") {
        auto status = actual.writePng(goldenPath);
        if (!status) return ::testing::AssertionFailure() << "could not write " << goldenPath;
        return ::testing::AssertionSuccess() << "updated " << goldenPath;
    }
    auto golden = Image::fromFile(goldenPath);
    std::string actualPath = std::filesystem::path(goldenPath).filename().string();
    actualPath = "actual-" + actualPath;
    if (!golden) {
        (void)actual.writePng(actualPath);
        return ::testing::AssertionFailure() << "no golden at " << goldenPath << " (wrote " << actualPath << ")";
    }
    const Image& g = **golden;
    if (g.pixelWidth() != actual.pixelWidth() || g.pixelHeight() != actual.pixelHeight()) {
        (void)actual.writePng(actualPath);
        return ::testing::AssertionFailure() << "size " << actual.pixelWidth() << "x" << actual.pixelHeight()
                                             << " differs from the golden's " << g.pixelWidth() << "x" << g.pixelHeight();
    }
    size_t differing = 0;
    int worst = 0;
    for (size_t i = 0; i < g.pixels().size(); ++i) {
        uint32_t a = actual.pixels()[i], b = g.pixels()[i];
        int most = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            int d = std::abs(static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff));
            most = std::max(most, d);
        }
        worst = std::max(worst, most);
        if (most > tolerance.channel) ++differing;
    }
    double share = g.pixels().empty() ? 0 : static_cast<double>(differing) / g.pixels().size();
    if (share > tolerance.differingShare) {
        (void)actual.writePng(actualPath);
        return ::testing::AssertionFailure() << share * 100 << "% of the pixels differ from " << goldenPath
                                             << " (worst channel difference " << worst << "; wrote " << actualPath << ")";
    }
    return ::testing::AssertionSuccess();
}

} // namespace gfx::testing
