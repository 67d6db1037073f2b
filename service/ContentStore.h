#pragma once
// ContentStore: the sample service's content in SQLite. Coloured groups of tags, and under each tag
// the questions a user may be asked with one suggested answer each. A database without content is
// filled from the seed when it is opened; a database that has content is used as it is, so edits
// made to the file survive restarts.

#include "platform/core/Error.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace service {

struct TagGroup {
    std::string title;
    std::string color; // six hexadecimal digits, red, green, blue
    std::vector<std::string> tags;
};

struct Question {
    std::string title;
    std::string answer;
};

// Which questions to list: those under `tag` (all when empty) whose question or answer contains
// `text` (all when empty), skipping the first `offset` and taking at most `limit`.
struct QuestionQuery {
    std::int64_t offset = 0;
    std::int64_t limit = 10;
    std::string text;
    std::string tag;
};

struct QuestionPage {
    std::int64_t total = 0; // questions matching the query, on all pages
    std::vector<Question> questions;
};

class ContentStore {
public:
    static constexpr std::string_view kErrorDomain = "service.content";

    // Opens (creating when needed) the database at `path`, which may be ":memory:", and fills it
    // from `seedJson` when it holds no content yet. Fails on an unusable file or a malformed seed.
    static core::Expected<std::unique_ptr<ContentStore>> open(const std::string& path, std::string_view seedJson);

    ~ContentStore();
    ContentStore(const ContentStore&) = delete;
    ContentStore& operator=(const ContentStore&) = delete;

    // Safe to call from several threads at once.
    core::Expected<std::vector<TagGroup>> tagGroups() const;
    core::Expected<QuestionPage> questions(const QuestionQuery& query) const;

private:
    explicit ContentStore(sqlite3* db) : db_(db) {}

    sqlite3* db_;
    mutable std::mutex mutex_;
};

} // namespace service
