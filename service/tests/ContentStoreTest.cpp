#include "platform/core/Json.h"
#include "platform/core/Utf16.h"
#include "service/ContentStore.h"
#include "service/SeedData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <unistd.h>

using namespace service;

namespace {

// Two groups, three tags; questions numbered in seed order so pages are easy to read.
constexpr const char* kSmallSeed = R"({"groups": [
  {"title": "开场白", "color": "FF5B78", "tags": [
    {"title": "初次聊天", "questions": [
      {"question": "q1 你好", "answer": "a1 很高兴认识你"},
      {"question": "q2 在吗", "answer": "a2 在的，晚安前还想和你聊聊"},
      {"question": "q3 忙吗", "answer": "a3 不忙"}]},
    {"title": "空标签", "questions": []}]},
  {"title": "晚安问候", "color": "4fc3f7", "tags": [
    {"title": "睡前", "questions": [
      {"question": "q4 晚安", "answer": "a4 好梦"},
      {"question": "q5 睡了吗", "answer": "a5 还没，在想你"}]}]}
]})";

std::vector<std::string> titles(const QuestionPage& page) {
    std::vector<std::string> out;
    for (const auto& q : page.questions) out.push_back(q.title.substr(0, 2));
    return out;
}

std::filesystem::path freshFolder(const std::string& name) {
    auto folder = std::filesystem::temp_directory_path() / ("quillora-service-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace

TEST(ContentStoreTest, ListsGroupsWithTheirTagsInSeedOrder) {
    auto store = ContentStore::open(":memory:", kSmallSeed);
    ASSERT_TRUE(store) << store.error().description;
    auto groups = (*store)->tagGroups();
    ASSERT_TRUE(groups);
    ASSERT_EQ(groups->size(), 2u);
    EXPECT_EQ((*groups)[0].title, "开场白");
    EXPECT_EQ((*groups)[0].color, "FF5B78");
    EXPECT_EQ((*groups)[0].tags, (std::vector<std::string>{"初次聊天", "空标签"}));
    EXPECT_EQ((*groups)[1].tags, (std::vector<std::string>{"睡前"}));
}

TEST(ContentStoreTest, QueriesFilterByTagAndTextAndPageByOffset) {
    auto store = ContentStore::open(":memory:", kSmallSeed);
    ASSERT_TRUE(store) << store.error().description;
    struct Case {
        const char* name;
        QuestionQuery query;
        std::int64_t total;
        std::vector<std::string> titles;
    };
    const Case cases[] = {
        {"everything, first page", {0, 2, "", ""}, 5, {"q1", "q2"}},
        {"everything, from the third", {2, 2, "", ""}, 5, {"q3", "q4"}},
        {"last, short page", {4, 2, "", ""}, 5, {"q5"}},
        {"past the end", {9, 2, "", ""}, 5, {}},
        {"one tag", {0, 10, "", "初次聊天"}, 3, {"q1", "q2", "q3"}},
        {"one tag, second page", {2, 2, "", "初次聊天"}, 3, {"q3"}},
        {"a tag without questions", {0, 10, "", "空标签"}, 0, {}},
        {"an unknown tag", {0, 10, "", "没有这个"}, 0, {}},
        {"text in a question", {0, 10, "晚安", ""}, 2, {"q2", "q4"}},
        {"text in an answer only", {0, 10, "想你", ""}, 1, {"q5"}},
        {"text within a tag", {0, 10, "晚安", "睡前"}, 1, {"q4"}},
        {"text found nowhere", {0, 10, "再见", ""}, 0, {}},
        {"text is matched exactly, not as a pattern", {0, 10, "%", ""}, 0, {}},
    };
    for (const auto& c : cases) {
        auto page = (*store)->questions(c.query);
        ASSERT_TRUE(page) << c.name;
        EXPECT_EQ(page->total, c.total) << c.name;
        EXPECT_EQ(titles(*page), c.titles) << c.name;
    }
}

TEST(ContentStoreTest, SeedsANewFileOnceAndKeepsItsContentAfterwards) {
    const auto folder = freshFolder("reopen");
    const std::string path = (folder / "content.sqlite3").string();
    {
        auto store = ContentStore::open(path, kSmallSeed);
        ASSERT_TRUE(store) << store.error().description;
    }
    // A later start with another seed neither adds to nor replaces what the file holds.
    const char* otherSeed = R"({"groups": [{"title": "别的", "color": "000000", "tags": [{"title": "x", "questions": []}]}]})";
    auto reopened = ContentStore::open(path, otherSeed);
    ASSERT_TRUE(reopened) << reopened.error().description;
    auto groups = (*reopened)->tagGroups();
    ASSERT_TRUE(groups);
    ASSERT_EQ(groups->size(), 2u);
    EXPECT_EQ((*groups)[0].title, "开场白");
    EXPECT_EQ((*reopened)->questions({0, 10, "", ""})->total, 5);
    std::filesystem::remove_all(folder);
}

TEST(ContentStoreTest, RefusesMalformedSeedsAndLeavesTheFileEmpty) {
    const auto folder = freshFolder("malformed");
    const std::string path = (folder / "content.sqlite3").string();
    struct Case { const char* name; const char* seed; };
    const Case cases[] = {
        {"not JSON", "{groups"},
        {"no groups", R"({"groups": []})"},
        {"colour of five digits", R"({"groups": [{"title": "a", "color": "FF5B7", "tags": []}]})"},
        {"colour that is not hexadecimal", R"({"groups": [{"title": "a", "color": "GG5B78", "tags": []}]})"},
        {"group without title", R"({"groups": [{"color": "FF5B78", "tags": []}]})"},
        {"tag title twice", R"({"groups": [{"title": "a", "color": "FF5B78", "tags": [
             {"title": "t", "questions": []}, {"title": "t", "questions": []}]}]})"},
        {"question without answer", R"({"groups": [{"title": "a", "color": "FF5B78", "tags": [
             {"title": "t", "questions": [{"question": "q"}]}]}]})"},
    };
    for (const auto& c : cases) EXPECT_FALSE(ContentStore::open(path, c.seed)) << c.name;
    // Nothing of the failed seeds stayed behind, so a good seed still fills the file.
    auto store = ContentStore::open(path, kSmallSeed);
    ASSERT_TRUE(store) << store.error().description;
    EXPECT_EQ((*store)->tagGroups()->size(), 2u);
    std::filesystem::remove_all(folder);
}

TEST(ContentStoreTest, UnusableFileIsAnError) {
    EXPECT_FALSE(ContentStore::open("/nonexistent-folder/content.sqlite3", kSmallSeed));
}

// The answer cells escape ":" and then split the text at the highlight markup's separators, and a
// copy puts the raw text on the clipboard; so texts must be plain and free of those separators.
// Tag titles must fit one cell of the three-column tag grid.
TEST(ContentStoreTest, ShippedSeedIsFitForTheApp) {
    auto store = ContentStore::open(":memory:", seedJson());
    ASSERT_TRUE(store) << store.error().description;
    auto groups = (*store)->tagGroups();
    ASSERT_TRUE(groups);
    EXPECT_GE(groups->size(), 6u);

    std::set<std::string> colors;
    for (const auto& group : *groups) {
        colors.insert(group.color);
        EXPECT_GE(group.tags.size(), 3u) << group.title;
        for (const auto& tag : group.tags) {
            EXPECT_LE(core::utf16::fromUtf8(tag).size(), 6u) << tag;
            auto page = (*store)->questions({0, 1000, "", tag});
            ASSERT_TRUE(page);
            EXPECT_GE(page->total, 6) << tag;
        }
    }
    EXPECT_EQ(colors.size(), groups->size()) << "every group has a colour of its own";

    auto all = (*store)->questions({0, 100000, "", ""});
    ASSERT_TRUE(all);
    EXPECT_GE(all->total, 150) << "a few hundred lines: questions and their answers";
    std::set<std::string> seen;
    for (const auto& q : all->questions) {
        EXPECT_TRUE(seen.insert(q.title).second) << "question twice: " << q.title;
        for (const std::string* text : {&q.title, &q.answer}) {
            for (const char* separator : {"##", ",&,", ":&:", ":-:", "：："}) {
                EXPECT_EQ(text->find(separator), std::string::npos) << *text;
            }
            EXPECT_NE(text->rfind("rrrr", 0), 0u) << *text;
        }
    }
}
