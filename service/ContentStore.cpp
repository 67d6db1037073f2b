#include "service/ContentStore.h"

#include "platform/core/Json.h"

#include <sqlite3.h>

#include <cctype>
#include <set>

namespace service {

namespace {

core::Error makeError(long long code, std::string description) {
    return core::Error{std::string(ContentStore::kErrorDomain), code, std::move(description), {}};
}

core::Error sqliteError(sqlite3* db, std::string_view what) {
    return makeError(sqlite3_errcode(db), std::string(what) + ": " + sqlite3_errmsg(db));
}

// Owns one prepared statement; binds texts and integers by position and steps through its rows.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) {
        ok_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) == SQLITE_OK;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return ok_; }
    // Makes the statement ready to run again with new values.
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    void bind(int index, std::string_view text) {
        ok_ = ok_ && sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    }
    void bind(int index, std::int64_t number) { ok_ = ok_ && sqlite3_bind_int64(stmt_, index, number) == SQLITE_OK; }

    // True while there is a row; a failure ends the rows and clears ok().
    bool step() {
        if (!ok_) return false;
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        ok_ = rc == SQLITE_DONE;
        return false;
    }
    std::string text(int column) const {
        const auto* p = sqlite3_column_text(stmt_, column);
        return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::string();
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool ok_ = false;
};

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS tag_groups (
  id INTEGER PRIMARY KEY,
  title TEXT NOT NULL,
  color TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS tags (
  id INTEGER PRIMARY KEY,
  group_id INTEGER NOT NULL REFERENCES tag_groups(id),
  title TEXT NOT NULL UNIQUE
);
CREATE TABLE IF NOT EXISTS questions (
  id INTEGER PRIMARY KEY,
  tag_id INTEGER NOT NULL REFERENCES tags(id),
  title TEXT NOT NULL,
  answer TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS questions_by_tag ON questions(tag_id);
)sql";

// The filter shared by the count and the page query: ?1 the tag title, ?2 the search text; an
// empty text filters nothing. instr() matches the exact text, which is what the app highlights.
constexpr std::string_view kQuestionFilter =
    " FROM questions q JOIN tags t ON t.id = q.tag_id"
    " WHERE (?1 = '' OR t.title = ?1) AND (?2 = '' OR instr(q.title, ?2) > 0 OR instr(q.answer, ?2) > 0)";

bool isColor(const std::string& text) {
    if (text.size() != 6) return false;
    for (unsigned char c : text) {
        if (!std::isxdigit(c)) return false;
    }
    return true;
}

const std::string* nonEmptyText(const core::Value& object, std::string_view key) {
    const core::Value* v = object.find(key);
    const std::string* s = v ? v->string() : nullptr;
    return s && !s->empty() ? s : nullptr;
}

const core::Array* arrayMember(const core::Value& object, std::string_view key) {
    const core::Value* v = object.find(key);
    return v ? v->array() : nullptr;
}

// Writes the seed into empty tables. The seed is {"groups": [{"title", "color", "tags": [{"title",
// "questions": [{"question", "answer"}]}]}]}; every text must be present and non-empty, colours
// six hexadecimal digits and tag titles unique, because the app finds a tag's questions by title.
core::Status insertSeed(sqlite3* db, std::string_view seedJson) {
    auto seed = core::json::read(seedJson);
    if (!seed) return makeError(1, "the seed is not JSON: " + seed.error().description);
    const core::Array* groups = arrayMember(*seed, "groups");
    if (!groups || groups->empty()) return makeError(2, "the seed has no \"groups\" list");

    Statement addGroup(db, "INSERT INTO tag_groups (title, color) VALUES (?1, ?2)");
    Statement addTag(db, "INSERT INTO tags (group_id, title) VALUES (?1, ?2)");
    Statement addQuestion(db, "INSERT INTO questions (tag_id, title, answer) VALUES (?1, ?2, ?3)");
    std::set<std::string> tagTitles;
    for (const auto& group : *groups) {
        const std::string* title = nonEmptyText(group, "title");
        const std::string* color = nonEmptyText(group, "color");
        const core::Array* tags = arrayMember(group, "tags");
        if (!title || !color || !isColor(*color) || !tags) {
            return makeError(3, "a group of the seed lacks a title, a six-digit colour or its tags");
        }
        addGroup.reset();
        addGroup.bind(1, *title);
        addGroup.bind(2, *color);
        addGroup.step();
        if (!addGroup.ok()) return sqliteError(db, "adding a group");
        const std::int64_t groupId = sqlite3_last_insert_rowid(db);

        for (const auto& tag : *tags) {
            const std::string* tagTitle = nonEmptyText(tag, "title");
            const core::Array* questions = arrayMember(tag, "questions");
            if (!tagTitle || !questions) return makeError(4, "a tag of group " + *title + " lacks a title or questions");
            if (!tagTitles.insert(*tagTitle).second) return makeError(5, "the tag " + *tagTitle + " appears twice");
            addTag.reset();
            addTag.bind(1, groupId);
            addTag.bind(2, *tagTitle);
            addTag.step();
            if (!addTag.ok()) return sqliteError(db, "adding a tag");
            const std::int64_t tagId = sqlite3_last_insert_rowid(db);

            for (const auto& question : *questions) {
                const std::string* text = nonEmptyText(question, "question");
                const std::string* answer = nonEmptyText(question, "answer");
                if (!text || !answer) return makeError(6, "a question under " + *tagTitle + " lacks its text or answer");
                addQuestion.reset();
                addQuestion.bind(1, tagId);
                addQuestion.bind(2, *text);
                addQuestion.bind(3, *answer);
                addQuestion.step();
                if (!addQuestion.ok()) return sqliteError(db, "adding a question");
            }
        }
    }
    return core::success();
}

core::Status exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return sqliteError(db, sql);
    return core::success();
}

// Creates the tables and, when they hold no group yet, fills them from the seed, all in one
// transaction so that a failed seed leaves no half-filled database behind.
core::Status prepare(sqlite3* db, std::string_view seedJson) {
    if (auto s = exec(db, "BEGIN IMMEDIATE"); !s) return s;
    auto body = [&]() -> core::Status {
        if (auto s = exec(db, kSchema); !s) return s;
        Statement count(db, "SELECT COUNT(*) FROM tag_groups");
        if (!count.step()) return sqliteError(db, "reading the database");
        if (count.integer(0) > 0) return core::success();
        return insertSeed(db, seedJson);
    };
    core::Status result = body();
    if (!result) {
        // A failed rollback leaves nothing to undo: the connection is closed right after.
        static_cast<void>(exec(db, "ROLLBACK"));
        return result;
    }
    return exec(db, "COMMIT");
}

} // namespace

core::Expected<std::unique_ptr<ContentStore>> ContentStore::open(const std::string& path, std::string_view seedJson) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        core::Error error = db ? sqliteError(db, "opening " + path) : makeError(rc, "opening " + path);
        sqlite3_close(db);
        return error;
    }
    // Another process (a second service on the same file) may hold the write lock for a moment.
    sqlite3_busy_timeout(db, 5000);
    if (auto prepared = prepare(db, seedJson); !prepared) {
        sqlite3_close(db);
        return prepared.error();
    }
    return std::unique_ptr<ContentStore>(new ContentStore(db));
}

ContentStore::~ContentStore() { sqlite3_close(db_); }

core::Expected<std::vector<TagGroup>> ContentStore::tagGroups() const {
    std::lock_guard lock(mutex_);
    std::vector<TagGroup> groups;
    std::vector<std::int64_t> ids;
    Statement groupRows(db_, "SELECT id, title, color FROM tag_groups ORDER BY id");
    while (groupRows.step()) {
        ids.push_back(groupRows.integer(0));
        groups.push_back(TagGroup{groupRows.text(1), groupRows.text(2), {}});
    }
    if (!groupRows.ok()) return sqliteError(db_, "reading the tag groups");

    Statement tagRows(db_, "SELECT group_id, title FROM tags ORDER BY group_id, id");
    while (tagRows.step()) {
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] == tagRows.integer(0)) groups[i].tags.push_back(tagRows.text(1));
        }
    }
    if (!tagRows.ok()) return sqliteError(db_, "reading the tags");
    return groups;
}

core::Expected<QuestionPage> ContentStore::questions(const QuestionQuery& query) const {
    std::lock_guard lock(mutex_);
    QuestionPage page;
    Statement count(db_, "SELECT COUNT(*)" + std::string(kQuestionFilter));
    count.bind(1, query.tag);
    count.bind(2, query.text);
    if (!count.step()) return sqliteError(db_, "counting the questions");
    page.total = count.integer(0);

    Statement rows(db_, "SELECT q.title, q.answer" + std::string(kQuestionFilter) + " ORDER BY q.id LIMIT ?3 OFFSET ?4");
    rows.bind(1, query.tag);
    rows.bind(2, query.text);
    rows.bind(3, query.limit);
    rows.bind(4, query.offset);
    while (rows.step()) page.questions.push_back(Question{rows.text(0), rows.text(1)});
    if (!rows.ok()) return sqliteError(db_, "reading the questions");
    return page;
}

} // namespace service
