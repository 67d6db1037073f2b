#include "network/MWModel.h"
#include "network/ServerModels.h"
#include "platform/core/Files.h"
#include "platform/core/Json.h"
#include "platform/core/Log.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/testing/TempHome.h"

#include <gtest/gtest.h>

using namespace network;
using core::Value;

namespace {

Value parse(const char* json) {
    auto v = core::json::read(json);
    EXPECT_TRUE(v) << json;
    return v ? *v : Value();
}

template <class T>
std::shared_ptr<T> filled(const char* json) {
    auto model = core::make<T>();
    model->reloadModel(std::optional<Value>(parse(json)));
    return model;
}

// A model with one property of every kind the mapper can set.
class TestModel : public NXModel {
    QUILLORA_CLASS(TestModel)
    TestModel() {
        static const bool classInitialised = [] {
            registerElementClass<TestModel, MWMainContentModel>("children");
            registerElementClass<TestModel, MWMainContentModel>("child");
            sharedNXModelClassDefault().set("TestModel.tags", Value("NSString"));
            sharedNXModelClassDefault().set("TestModel.ghosts", Value("NoSuchClass"));
            // Lookup order: arrays try "Owner.key" first, dictionaries the bare key first.
            core::ClassRegistry::registerClass<QUAnswerModel>();
            sharedNXModelClassDefault().set("TestModel.either", Value("MWMainContentModel"));
            sharedNXModelClassDefault().set("either", Value("QUAnswerModel"));
            sharedNXModelClassDefault().set("testOnlyOrphan", Value("MWMainContentModel"));
            return true;
        }();
        (void)classInitialised;
    }
    std::optional<std::string> Id;
    std::vector<std::string> tags;
    core::Array raw;
    std::vector<std::shared_ptr<MWMainContentModel>> children;
    std::vector<std::shared_ptr<MWMainContentModel>> ghosts;
    std::shared_ptr<MWMainContentModel> child;
    std::optional<core::Dictionary> extra;
    core::Array eitherList;
    std::shared_ptr<NXModel> either;
    const PropertyTable& properties() const override {
        static const PropertyTable table = PropertyTable(NXModel::properties())
                                               .text("Id", &TestModel::Id)
                                               .list("tags", &TestModel::tags)
                                               .list("raw", &TestModel::raw)
                                               .list("children", &TestModel::children)
                                               .list("ghosts", &TestModel::ghosts)
                                               .object("child", &TestModel::child)
                                               .dictionary("extra", &TestModel::extra)
                                               .object("either", &TestModel::either);
        return table;
    }
};

} // namespace

TEST(ModelMappingTest, EnvelopeScalars) {
    auto m = filled<MWModel>(R"({"status": 1, "message": "ok", "errcode": 0})");
    EXPECT_EQ(m->status, 1);
    EXPECT_EQ(m->message, "ok");
    EXPECT_EQ(m->errcode, 0);
    EXPECT_EQ(filled<MWModel>(R"({"status": "2"})")->status, 2);
    EXPECT_EQ(filled<MWModel>(R"({"status": "x7"})")->status, 0);
    EXPECT_EQ(filled<MWModel>(R"({"status": true})")->status, 1);
    EXPECT_EQ(filled<MWModel>(R"({"message": 2.5})")->message, "2.5");
    auto fresh = core::make<MWModel>();
    EXPECT_FALSE(fresh->message);
    EXPECT_FALSE(fresh->data);
}

// A JSON null never reaches a property as the text "<null>": text reads empty, a number 0, at any
// depth; the other scalars keep their text forms.
TEST(ModelMappingTest, NullBecomesTheEmptyText) {
    auto envelope = filled<MWModel>(R"({"message": null, "status": null, "errcode": 7})");
    EXPECT_EQ(envelope->message, "");
    EXPECT_EQ(envelope->status, 0);
    EXPECT_EQ(envelope->errcode, 7);

    auto page = filled<QUAnswerListModel>(R"({"count": null, "list": [{"title": null, "content": "c"}]})");
    EXPECT_EQ(page->count, 0);
    ASSERT_EQ(page->list.size(), 1u);
    EXPECT_EQ(page->list[0]->title, "");
    EXPECT_EQ(page->list[0]->content, "c");

    auto home = filled<MWMainListModel>(
        R"({"about_url": null, "list": [{"title": null, "color": null, "content": [{"title": null}]}]})");
    EXPECT_EQ(home->about_url, "");
    ASSERT_EQ(home->list.size(), 1u);
    EXPECT_EQ(home->list[0]->title, "");
    EXPECT_EQ(home->list[0]->color, "");
    ASSERT_EQ(home->list[0]->content.size(), 1u);
    EXPECT_EQ(home->list[0]->content[0]->title, "");

    // A text that had a value is emptied by a null, and a nested model's text too.
    auto m = filled<TestModel>(R"({"id": "9", "child": {"title": "t"}})");
    m->reloadModel(std::optional<Value>(parse(R"({"id": null, "child": {"title": null}})")));
    EXPECT_EQ(m->Id, "");
    ASSERT_TRUE(m->child);
    EXPECT_EQ(m->child->title, "");

    // A null where an object or a list belongs is a kind mismatch: the old value stays.
    auto kept = filled<TestModel>(R"({"extra": {"k": 1}, "children": [{"title": "a"}]})");
    core::LogCapture log;
    kept->reloadModel(std::optional<Value>(parse(R"({"extra": null, "children": null})")));
    ASSERT_TRUE(kept->extra);
    EXPECT_EQ(kept->children.size(), 1u);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"模型「TestModel」缺少字段：extra", "模型「TestModel」缺少字段：children"}));
}

TEST(ModelMappingTest, FailingAnswerKeepsRawDataAndLogsItsGaps) {
    core::LogCapture log;
    auto m = filled<MWModel>(R"({"status": 0, "message": "签名错误", "data": {"k": [1]}, "rbac_status": 1})");
    EXPECT_EQ(m->status, 0);
    EXPECT_EQ(m->message, "签名错误");
    ASSERT_TRUE(m->data);
    EXPECT_EQ(Value(*m->data), parse(R"({"k": [1]})"));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"缺少类:data", "模型「MWModel」缺少字段：rbac_status"}));
}

TEST(ModelMappingTest, IdBecomesIdProperty) {
    EXPECT_EQ(filled<TestModel>(R"({"id": 5})")->Id, "5");
    core::LogCapture log;
    filled<MWModel>(R"({"id": 5})");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"模型「MWModel」缺少字段：id"});
}

TEST(ModelMappingTest, ServerModelsNestListsAndObjects) {
    auto home = filled<MWMainListModel>(
        R"({"about_url": "x", "list": [{"title": "T", "color": "FF5B78", "content": [{"title": "t1"}]}]})");
    EXPECT_EQ(home->about_url, "x");
    ASSERT_EQ(home->list.size(), 1u);
    EXPECT_EQ(home->list[0]->title, "T");
    EXPECT_EQ(home->list[0]->color, "FF5B78");
    ASSERT_EQ(home->list[0]->content.size(), 1u);
    EXPECT_EQ(home->list[0]->content[0]->title, "t1");

    auto page = filled<QUAnswerListModel>(R"({"count": "25", "now_page": 2, "list": []})");
    EXPECT_EQ(page->count, 25);
    EXPECT_EQ(page->now_page, 2);
    EXPECT_TRUE(page->list.empty());

    auto server = core::make<NXServerModel>();
    EXPECT_EQ(server->status, 0);
    EXPECT_EQ(server->url, "");
    EXPECT_EQ(server->message, "");

    const auto& map = NXModel::sharedNXModelClassDefault();
    EXPECT_EQ(*map.find("MWMainListModel.list"), Value("MWMainModel"));
    EXPECT_EQ(*map.find("MWMainModel.content"), Value("MWMainContentModel"));
    EXPECT_EQ(*map.find("QUAnswerListModel.list"), Value("QUAnswerModel"));
}

TEST(ModelMappingTest, ArrayMembers) {
    core::LogCapture log;
    auto m = filled<TestModel>(R"({"tags": [3, "a", true, null], "raw": [{"title": "a"}, 1],
                                   "children": [{"title": "a"}, {"title": "b"}], "ghosts": [{"title": "a"}]})");
    EXPECT_EQ(m->tags, (std::vector<std::string>{"3", "a", "1", ""}));
    EXPECT_EQ(Value(m->raw), parse(R"([{"title": "a"}, 1])"));
    ASSERT_EQ(m->children.size(), 2u);
    EXPECT_EQ(m->children[1]->title, "b");
    EXPECT_TRUE(m->ghosts.empty()); // elements of a class that does not exist are dropped silently
    EXPECT_TRUE(log.lines().empty());

    filled<MWModel>(R"({"nothing": [1]})");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"类【(null)】不存在[nothing]"});
}

TEST(ModelMappingTest, DictionaryMembers) {
    core::LogCapture log;
    auto m = filled<TestModel>(R"({"child": {"title": "c"}, "extra": {"a": 1}})");
    ASSERT_TRUE(m->child);
    EXPECT_EQ(m->child->title, "c");
    ASSERT_TRUE(m->extra);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"缺少类:extra"});

    log.clear();
    filled<MWModel>(R"({"ghost": {}})");
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"缺少类:ghost", "不存在ghost"}));

    // A class found for a member the model lacks: the guard around the key logs and goes on.
    log.clear();
    auto envelope = filled<MWModel>(R"({"testOnlyOrphan": {"title": "t"}, "status": 1})");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("testOnlyOrphan"), std::string::npos);
    EXPECT_EQ(envelope->status, 1);
}

TEST(ModelMappingTest, ArraysAndDictionariesLookUpTheClassMapInOppositeOrders) {
    auto m = core::make<TestModel>();
    m->reloadModel(std::optional<Value>(parse(R"({"either": {"title": "d"}})")));
    EXPECT_TRUE(std::dynamic_pointer_cast<QUAnswerModel>(m->either)); // bare key first
    // For an array the full key comes first; its instances are not what "either" holds, so the
    // mismatch is logged and the property keeps its value.
    core::LogCapture log;
    m->reloadModel(std::optional<Value>(parse(R"({"either": [{"title": "d"}]})")));
    EXPECT_TRUE(std::dynamic_pointer_cast<QUAnswerModel>(m->either));
    EXPECT_EQ(log.lines(), std::vector<std::string>{"模型「TestModel」缺少字段：either"});
}

TEST(ModelMappingTest, KindMismatchesKeepTheOldValue) {
    struct Case { const char* json; const char* line; };
    const Case cases[] = {
        {R"({"message": {"a": 1}})", "模型「MWModel」缺少字段：message"},
        {R"({"message": [1]})", "模型「MWModel」缺少字段：message"},
        {R"({"data": "text"})", "模型「MWModel」缺少字段：data"},
        {R"({"data": [1]})", "模型「MWModel」缺少字段：data"},
        {R"({"status": {"a": 1}})", "模型「MWModel」缺少字段：status"},
    };
    for (const auto& c : cases) {
        auto m = core::make<MWModel>();
        m->message = "old";
        m->data = core::Dictionary{{"old", 1}};
        m->status = 7;
        core::LogCapture log;
        m->reloadModel(std::optional<Value>(parse(c.json)));
        EXPECT_EQ(log.lines().back(), c.line) << c.json;
        EXPECT_EQ(m->message, "old") << c.json;
        EXPECT_EQ(Value(*m->data), Value(core::Dictionary{{"old", 1}})) << c.json;
        EXPECT_EQ(m->status, 7) << c.json;
    }
    core::LogCapture log;
    auto page = core::make<QUAnswerListModel>();
    page->reloadModel(std::optional<Value>(parse(R"({"list": "none", "count": [1]})")));
    EXPECT_TRUE(page->list.empty());
    EXPECT_EQ(page->count, 0);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"模型「QUAnswerListModel」缺少字段：list",
                                                     "模型「QUAnswerListModel」缺少字段：count"}));
}

TEST(ModelMappingTest, FillingFromAnythingButADictionaryChangesNothing) {
    core::LogCapture log;
    for (const char* json : {"[1, 2]", "null", "\"text\"", "{}"}) {
        auto m = core::make<MWModel>();
        m->reloadModel(core::json::read(json, core::json::AllowFragments).value());
        EXPECT_FALSE(m->message);
        EXPECT_EQ(m->status, 0);
    }
    auto m = core::make<MWModel>();
    m->reloadModel(std::nullopt);
    EXPECT_TRUE(log.lines().empty());
    // A list of non-dictionaries gives default instances, not a crash.
    auto page = filled<QUAnswerListModel>(R"({"list": [1, "x"]})");
    ASSERT_EQ(page->list.size(), 2u);
    EXPECT_EQ(page->list[0]->title, "");
}

TEST(ModelMappingTest, JsonTextAndFilesAndArrays) {
    core::LogCapture log;
    EXPECT_FALSE(NXModel::dictionaryWithJsonString(std::nullopt));
    EXPECT_FALSE(NXModel::dictionaryWithJsonString(std::string("{bad")));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].rfind("json解析失败：", 0), 0u);
    EXPECT_EQ(NXModel::dictionaryWithJsonString(std::string(R"({"a": 1})")), parse(R"({"a": 1})"));

    auto answers = NXModel::GetModelFromArray<QUAnswerModel>(parse(R"([{"title": "q1"}, {"title": "q2"}])").asArray());
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1]->title, "q2");

    core::testkit::TempHome home;
    core::Bundle::setResourcePathForTesting(home.path());
    ASSERT_TRUE(core::files::writeAtomically(home.path() + "/server.json", std::string_view(R"({"status": 1, "url": "u"})")));
    auto server = core::make<NXServerModel>();
    server->reloadModelWithPath("server.json");
    EXPECT_EQ(server->url, "u");
    server->reloadModelWithPath("missing.json"); // unreadable: unchanged
    EXPECT_EQ(server->status, 1);
    core::Bundle::setResourcePathForTesting(std::nullopt);
}
