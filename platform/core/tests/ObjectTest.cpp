#include "platform/core/Object.h"

#include <gtest/gtest.h>

namespace core {
namespace {

struct Base : Object {};
struct Derived : Base {};
struct Mixin {
    virtual ~Mixin() = default;
};
struct Mixed : Object, Mixin {};
template <int N>
struct Many : Object {};

template <int... N>
std::vector<std::shared_ptr<Object>> many(std::integer_sequence<int, N...>) {
    return {std::make_shared<Many<N>>()...};
}

// The answers stay dynamic_cast's while more classes pass than are remembered, in any order.
TEST(core_Object, KindTestsFollowTheClassOfEachObject) {
    auto objects = many(std::make_integer_sequence<int, 12>());
    objects.push_back(std::make_shared<Base>());
    objects.push_back(std::make_shared<Derived>());
    objects.push_back(std::make_shared<Mixed>());
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < objects.size(); ++i) {
            const auto& o = *objects[(i * 7 + round) % objects.size()];
            EXPECT_EQ(isKindOf<Base>(o), dynamic_cast<const Base*>(&o) != nullptr) << o.className();
            EXPECT_EQ(isKindOf<Derived>(o), dynamic_cast<const Derived*>(&o) != nullptr);
            EXPECT_EQ(isKindOf<Mixin>(o), dynamic_cast<const Mixin*>(&o) != nullptr);
            EXPECT_EQ(isKindOf<Many<3>>(o), dynamic_cast<const Many<3>*>(&o) != nullptr);
        }
    }
    EXPECT_TRUE(isKindOf<Base>(*objects[13]));
    EXPECT_FALSE(isKindOf<Derived>(*objects[12]));
    EXPECT_TRUE(isKindOf<Mixin>(*objects[14]));
}

} // namespace
} // namespace core
