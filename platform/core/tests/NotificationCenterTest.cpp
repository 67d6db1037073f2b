#include "platform/core/NotificationCenter.h"

#include <gtest/gtest.h>

using namespace core;

namespace {
class Sender : public Object {
    QUILLORA_CLASS(Sender)
};
} // namespace

TEST(NotificationCenterTest, DeliversInOrderFilteredByNameAndSender) {
    auto center = NotificationCenter::create();
    auto a = make<Sender>();
    auto b = make<Sender>();
    std::vector<std::string> seen;
    auto t1 = center->addObserver("n", [&](const Notification& n) { seen.push_back("any:" + n.userInfo.keys().at(0)); });
    auto t2 = center->addObserver("n", a, [&](const Notification&) { seen.push_back("a"); });
    auto t3 = center->addObserver("", [&](const Notification& n) { seen.push_back("all:" + n.name); });
    center->post("n", b, Dictionary{{"k", 1}});
    center->post("n", a, Dictionary{{"k", 1}});
    center->post("other");
    EXPECT_EQ(seen, (std::vector<std::string>{"any:k", "all:n", "any:k", "a", "all:n", "all:other"}));
}

TEST(NotificationCenterTest, DroppingTheTokenStopsDeliveryEvenDuringAPost) {
    auto center = NotificationCenter::create();
    int later = 0;
    NotificationCenter::Token second;
    auto first = center->addObserver("n", [&](const Notification&) { second.reset(); });
    second = center->addObserver("n", [&](const Notification&) { ++later; });
    center->post("n");
    center->post("n");
    EXPECT_EQ(later, 0);
}

// Many observers of one post hear it in order; one that goes during the post (before or after
// the first few) is skipped, and an observer added meanwhile hears only later posts.
TEST(NotificationCenterTest, ManyObserversOfOnePostInOrderWithChangesMidway) {
    auto center = NotificationCenter::create();
    std::vector<int> heard;
    std::vector<NotificationCenter::Token> tokens(8);
    NotificationCenter::Token added;
    for (int i = 0; i < 8; ++i)
        tokens[i] = center->addObserver("n", [&, i](const Notification&) {
            heard.push_back(i);
            if (i == 1 && tokens[3]) {
                tokens[3].reset();
                tokens[6].reset();
                added = center->addObserver("n", [&](const Notification&) { heard.push_back(100); });
            }
        });
    center->post("n");
    EXPECT_EQ(heard, (std::vector<int>{0, 1, 2, 4, 5, 7}));
    heard.clear();
    center->post("n");
    EXPECT_EQ(heard, (std::vector<int>{0, 1, 2, 4, 5, 7, 100}));
}

TEST(NotificationCenterTest, AFilterOnADeadSenderMatchesNothing) {
    auto center = NotificationCenter::create();
    auto a = make<Sender>();
    int calls = 0;
    auto token = center->addObserver("n", a, [&](const Notification&) { ++calls; });
    a.reset();
    center->post("n");
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(std::string(make<Sender>()->className()), "Sender");
}
