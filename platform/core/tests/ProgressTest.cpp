#include "platform/core/Progress.h"

#include <gtest/gtest.h>

namespace core {
namespace {

TEST(core_Progress, FractionAndFinishFollowTheCounts) {
    struct Case {
        std::int64_t total, completed;
        double fraction;
        bool finished;
    };
    const Case cases[] = {{0, 0, 0, false}, {-1, 5, 0, false}, {4, 1, 0.25, false}, {1, 1, 1, true}, {2, 3, 1.5, true}};
    for (const auto& c : cases) {
        Progress progress(c.total);
        progress.setCompletedUnitCount(c.completed);
        EXPECT_DOUBLE_EQ(progress.fractionCompleted(), c.fraction) << c.total << "/" << c.completed;
        EXPECT_EQ(progress.isFinished(), c.finished) << c.total << "/" << c.completed;
    }
}

} // namespace
} // namespace core
