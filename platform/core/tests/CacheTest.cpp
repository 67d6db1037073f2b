#include "platform/core/Cache.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace core {
namespace {

TEST(core_Cache, LimitsEvictTheLeastRecentlyUsedFirst) {
    struct Case {
        const char* name;
        std::size_t costLimit, countLimit;
        std::vector<std::pair<int, std::size_t>> sets;  // key, cost
        std::vector<int> touched;                       // read between the sets and the check
        std::vector<int> kept;
    };
    const Case cases[] = {
        {"no limits", 0, 0, {{1, 100}, {2, 100}, {3, 100}}, {}, {1, 2, 3}},
        {"count limit", 0, 2, {{1, 1}, {2, 1}, {3, 1}}, {}, {2, 3}},
        {"cost limit", 10, 0, {{1, 4}, {2, 4}, {3, 4}}, {}, {2, 3}},
        {"too dear to stay", 10, 0, {{1, 4}, {2, 11}}, {}, {}},
        {"replacing counts once", 10, 0, {{1, 4}, {1, 6}, {2, 4}}, {}, {1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Cache<int, int> cache;
        cache.setTotalCostLimit(c.costLimit);
        cache.setCountLimit(c.countLimit);
        for (auto [key, cost] : c.sets) cache.setObject(key, key * 10, cost);
        std::vector<int> kept;
        for (int key = 1; key <= 3; ++key)
            if (cache.object(key)) kept.push_back(key);
        EXPECT_EQ(kept, c.kept);
    }
    // A read makes an entry recent: the other one goes.
    Cache<int, int> cache;
    cache.setCountLimit(2);
    cache.setObject(1, 10);
    cache.setObject(2, 20);
    EXPECT_EQ(cache.object(1), 10);
    cache.setObject(3, 30);
    EXPECT_FALSE(cache.object(2));
    EXPECT_TRUE(cache.object(1));
    // Lowering a limit trims at once.
    cache.setCountLimit(1);
    EXPECT_EQ(cache.count(), 1u);
    cache.removeAllObjects();
    EXPECT_EQ(cache.totalCost(), 0u);
}

TEST(core_Cache, IsSafeFromManyThreads) {
    Cache<int, int> cache;
    cache.setTotalCostLimit(64);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&cache, t] {
            for (int i = 0; i < 2000; ++i) {
                cache.setObject((i * 7 + t) % 100, i, 1 + i % 3);
                (void)cache.object(i % 100);
                if (i % 50 == 0) cache.removeObject(i % 100);
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_LE(cache.totalCost(), 64u);
}

} // namespace
} // namespace core
