#include "network/MWUUID.h"
#include "platform/core/Json.h"
#include "platform/core/Log.h"
#include "platform/core/TextConversions.h"
#include "platform/dispatch/Clock.h"
#include "service/ErrorCodes.h"
#include "service/SampleService.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <algorithm>
#include <functional>
#include <set>

using namespace service;
using core::Dictionary;
using core::Value;

namespace {

constexpr double kNow = 1700000000.0;

struct Answer {
    int httpStatus = 0;
    Value json;

    std::int64_t status() const { return json.find("status") ? core::longLongValue(*json.find("status")) : -1; }
    const Value& data() const { return *json.find("data"); }
    std::string message() const { return json.find("message") ? *json.find("message")->string() : ""; }
};

class SampleServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dispatch::Clock::setCurrent(clock);
        ServiceOptions options;
        options.port = 0;
        options.database = ":memory:";
        auto created = SampleService::create(options);
        ASSERT_TRUE(created) << created.error().description;
        service = std::move(*created);
        service->start();
        client = std::make_unique<httplib::Client>("127.0.0.1", service->port());
    }
    void TearDown() override {
        client.reset();
        service.reset();
        dispatch::Clock::setCurrent(nullptr);
    }

    // The five headers the app sends.
    static httplib::Headers appHeaders() {
        return {{"Accept", "application/json"}, {"version", "1.0.0"}, {"deviceid", "6F1C7E0A-3B8D-4C55-9E21-0D6A2B7F4C19"},
                {"platformtype", "2"},          {"channel", "1000"}};
    }

    // Signs like the app: random_time from the app's clock, then the app's signer over everything.
    static httplib::Params sign(const Dictionary& params, const char* salt = "") {
        Dictionary all = params;
        if (!all.contains("random_time")) all.set("random_time", network::MWUUID::GETCurrentTimestamp());
        all.set("sign", network::MWUUID::CreateMD5SignForPayWithDict(all, salt));
        httplib::Params out;
        for (const auto& [key, value] : all) out.emplace(key, *value.string());
        return out;
    }

    // Sends the parameters form-encoded in the body, with the content type the app's HTTP layer uses.
    Answer post(const std::string& path, const httplib::Params& params, const httplib::Headers& headers = appHeaders()) {
        auto result = client->Post(path, headers, httplib::detail::params_to_query_str(params),
                                   "application/x-www-form-urlencoded; charset=utf-8");
        if (!result) return {};
        auto json = core::json::read(result->body);
        return {result->status, json ? *json : Value()};
    }

    Answer postSigned(const std::string& path, const Dictionary& params, const char* salt = "") {
        return post(path, sign(params, salt));
    }

    std::shared_ptr<dispatch::VirtualClock> clock = std::make_shared<dispatch::VirtualClock>(kNow);
    core::LogCapture log; // keeps the request log out of the test output
    std::unique_ptr<SampleService> service;
    std::unique_ptr<httplib::Client> client;
};

std::string text(const Value& object, const char* key) {
    const Value* v = object.find(key);
    return v && v->string() ? *v->string() : std::string();
}

std::int64_t number(const Value& object, const char* key) {
    const Value* v = object.find(key);
    return v ? core::longLongValue(*v) : -1;
}

} // namespace

TEST_F(SampleServiceTest, TagListServesColouredGroupsWhateverTheSlashes) {
    for (const std::string path : {"/index.php/AppApi/Index/index_tag_list", "//index.php/AppApi/Index/index_tag_list",
                                   "//index.php//AppApi///Index/index_tag_list"}) {
        Answer answer = postSigned(path, {});
        ASSERT_EQ(answer.httpStatus, 200) << path;
        ASSERT_EQ(answer.status(), 1) << path << " " << answer.message();
        EXPECT_EQ(number(answer.json, "errcode"), 0);
        EXPECT_NE(answer.json.find("rbac_status"), nullptr);
        EXPECT_EQ(text(answer.data(), "about_url"), SampleService::kAboutPath);
        const auto& groups = answer.data().find("list")->asArray();
        ASSERT_FALSE(groups.empty());
        for (const auto& group : groups) {
            EXPECT_FALSE(text(group, "title").empty());
            const std::string color = text(group, "color");
            EXPECT_EQ(color.size(), 6u);
            EXPECT_EQ(color.find_first_not_of("0123456789ABCDEFabcdef"), std::string::npos) << color;
            const auto& tags = group.find("content")->asArray();
            ASSERT_FALSE(tags.empty());
            EXPECT_FALSE(text(tags[0], "title").empty());
        }
    }
}

// Walks a tag's questions the way the app's tag listing does: "pages" 0, then the now_page of the
// previous answer, until now_page reaches count; tag listings also send an empty search_text.
TEST_F(SampleServiceTest, ContentListPagesThroughATagUntilCount) {
    Answer tags = postSigned("//index.php/AppApi/Index/index_tag_list", {});
    ASSERT_EQ(tags.status(), 1);
    const std::string tag = text(tags.data().find("list")->asArray()[0].find("content")->asArray()[0], "title");

    std::set<std::string> questions;
    std::int64_t pages = 0, count = -1, requests = 0;
    do {
        Answer page = postSigned("//index.php/AppApi/Index/index_content_list",
                                 {{"pages", std::to_string(pages)}, {"search_text", ""}, {"search_tag", tag}});
        ASSERT_EQ(page.status(), 1) << page.message();
        count = number(page.data(), "count");
        const auto& list = page.data().find("list")->asArray();
        EXPECT_LE(list.size(), static_cast<std::size_t>(SampleService::kPageSize));
        ASSERT_FALSE(list.empty());
        for (const auto& item : list) {
            EXPECT_FALSE(text(item, "content").empty());
            EXPECT_TRUE(questions.insert(text(item, "title")).second) << "repeated: " << text(item, "title");
        }
        EXPECT_EQ(number(page.data(), "now_page"), pages + static_cast<std::int64_t>(list.size()));
        pages = number(page.data(), "now_page");
        ASSERT_LT(++requests, 100);
    } while (pages < count);
    EXPECT_EQ(static_cast<std::int64_t>(questions.size()), count);

    Answer past = postSigned("/index.php/AppApi/Index/index_content_list", {{"pages", std::to_string(count + 5)}, {"search_tag", tag}});
    ASSERT_EQ(past.status(), 1);
    EXPECT_EQ(number(past.data(), "count"), count);
    EXPECT_TRUE(past.data().find("list")->asArray().empty());
}

TEST_F(SampleServiceTest, SearchMatchesQuestionsOrAnswers) {
    Answer found = postSigned("/index.php/AppApi/Index/index_content_list", {{"pages", "0"}, {"search_text", "晚安"}});
    ASSERT_EQ(found.status(), 1) << found.message();
    EXPECT_GT(number(found.data(), "count"), 0);
    for (const auto& item : found.data().find("list")->asArray()) {
        const bool inTitle = text(item, "title").find("晚安") != std::string::npos;
        const bool inAnswer = text(item, "content").find("晚安") != std::string::npos;
        EXPECT_TRUE(inTitle || inAnswer) << text(item, "title");
    }

    Answer none = postSigned("/index.php/AppApi/Index/index_content_list", {{"pages", "0"}, {"search_text", "找不到的话"}});
    ASSERT_EQ(none.status(), 1);
    EXPECT_EQ(number(none.data(), "count"), 0);
    EXPECT_TRUE(none.data().find("list")->asArray().empty());
}

TEST_F(SampleServiceTest, RefusesBadHeadersTimestampsAndSignatures) {
    using Mutation = std::function<void(httplib::Headers&, httplib::Params&)>;
    auto withoutHeader = [](const char* name) -> Mutation {
        return [name](httplib::Headers& h, httplib::Params&) { h.erase(name); };
    };
    auto withHeader = [](const char* name, const char* value) -> Mutation {
        return [name, value](httplib::Headers& h, httplib::Params&) {
            h.erase(name);
            h.emplace(name, value);
        };
    };
    auto resigned = [](const char* time) -> Mutation {
        return [time](httplib::Headers&, httplib::Params& p) { p = sign({{"random_time", time}}); };
    };
    struct Case { const char* name; Mutation mutate; std::int64_t errcode; };
    const Case cases[] = {
        {"no Accept (the client sends */*)", withoutHeader("Accept"), errcode::kHeader},
        {"no version", withoutHeader("version"), errcode::kHeader},
        {"no deviceid", withoutHeader("deviceid"), errcode::kHeader},
        {"no platformtype", withoutHeader("platformtype"), errcode::kHeader},
        {"no channel", withoutHeader("channel"), errcode::kHeader},
        {"wrong platformtype", withHeader("platformtype", "1"), errcode::kHeader},
        {"wrong channel", withHeader("channel", "1001"), errcode::kHeader},
        {"no random_time", [](httplib::Headers&, httplib::Params& p) { p = sign({}); p.erase("random_time"); },
         errcode::kTimestamp},
        {"random_time not a number", resigned("17e8"), errcode::kTimestamp},
        {"random_time too old", resigned("1699999699"), errcode::kTimestamp},
        {"random_time too far ahead", resigned("1700000301"), errcode::kTimestamp},
        {"no sign", [](httplib::Headers&, httplib::Params& p) { p.erase("sign"); }, errcode::kSignature},
        {"a parameter changed after signing", [](httplib::Headers&, httplib::Params& p) { p.emplace("pages", "2"); },
         errcode::kSignature},
        {"signed with the switch's salt", [](httplib::Headers&, httplib::Params& p) { p = sign({}, SampleService::kSwitchSalt); },
         errcode::kSignature},
    };
    for (const auto& c : cases) {
        httplib::Headers headers = appHeaders();
        httplib::Params params = sign({});
        c.mutate(headers, params);
        Answer answer = post("/index.php/AppApi/Index/index_tag_list", params, headers);
        EXPECT_EQ(answer.httpStatus, 200) << c.name;
        EXPECT_EQ(answer.status(), 0) << c.name;
        EXPECT_EQ(number(answer.json, "errcode"), c.errcode) << c.name;
        // A message for the user, in Chinese: it holds bytes beyond ASCII.
        const std::string message = answer.message();
        EXPECT_TRUE(std::any_of(message.begin(), message.end(), [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; }))
            << c.name << ": " << message;
    }

    // The window's edges are still accepted.
    for (const char* time : {"1699999700", "1700000300"}) {
        EXPECT_EQ(post("/index.php/AppApi/Index/index_tag_list", sign({{"random_time", time}})).status(), 1) << time;
    }
}

TEST_F(SampleServiceTest, ServerSwitchAnswersTheBaseUrlForTheAppOnly) {
    // The app formats the switch address as "<base>/index.php/Index/Index/index" with a base ending in "/".
    const std::string switchPath = "//index.php/Index/Index/index";

    Answer known = postSigned(switchPath, {{"asname", "nx_quillora_release"}}, SampleService::kSwitchSalt);
    ASSERT_EQ(known.status(), 1) << known.message();
    EXPECT_EQ(number(known.data(), "status"), 1);
    EXPECT_EQ(text(known.data(), "url"), "http://127.0.0.1:" + std::to_string(service->port()));
    EXPECT_EQ(text(known.data(), "message"), "");

    Answer unknown = postSigned(switchPath, {{"asname", "loc"}}, SampleService::kSwitchSalt);
    ASSERT_EQ(unknown.status(), 1);
    EXPECT_EQ(number(unknown.data(), "status"), 0);
    EXPECT_EQ(text(unknown.data(), "url"), "");
    EXPECT_FALSE(text(unknown.data(), "message").empty());

    // The ordinary salt is not the switch's.
    Answer wrongSalt = postSigned(switchPath, {{"asname", "nx_quillora_release"}});
    EXPECT_EQ(wrongSalt.status(), 0);
    EXPECT_EQ(number(wrongSalt.json, "errcode"), errcode::kSignature);
}

TEST_F(SampleServiceTest, UnknownInterfaceIsNotFound) {
    Answer answer = postSigned("/index.php/AppApi/Index/nothing_here", {});
    EXPECT_EQ(answer.httpStatus, 404);
    EXPECT_EQ(answer.status(), 0);
}

TEST_F(SampleServiceTest, AboutPageHasItsTitleShareFieldsAndScripts) {
    auto page = client->Get("//index.php/AppApi/Index/about");
    ASSERT_TRUE(page);
    ASSERT_EQ(page->status, 200);
    EXPECT_NE(page->get_header_value("Content-Type").find("text/html"), std::string::npos);
    const std::string& html = page->body;
    EXPECT_NE(html.find("<title>关于 Quillora</title>"), std::string::npos);
    for (const char* id : {"share_title", "share_content", "share_link", "share_image"}) {
        EXPECT_NE(html.find(std::string("id=\"") + id + "\" value=\""), std::string::npos) << id;
    }
    const std::string origin = "http://127.0.0.1:" + std::to_string(service->port());
    EXPECT_NE(html.find("id=\"share_link\" value=\"" + origin + "/index.php/AppApi/Index/about\""), std::string::npos);
    EXPECT_NE(html.find("<script src=\"/static/jquery.min.js\"></script>"), std::string::npos);

    auto icon = client->Get(SampleService::kIconPath);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->status, 200);
    EXPECT_EQ(icon->get_header_value("Content-Type"), "image/svg+xml");

    if (!std::filesystem::exists(ServiceOptions().jqueryFile)) GTEST_SKIP() << "libjs-jquery is not installed";
    auto script = client->Get("//static/jquery.min.js");
    ASSERT_TRUE(script);
    EXPECT_EQ(script->status, 200);
    EXPECT_NE(script->body.find("jQuery"), std::string::npos);
}

TEST(SampleServiceLifecycleTest, StopsWhetherOrNotItEverServed) {
    core::LogCapture log;
    ServiceOptions options;
    options.port = 0;
    options.database = ":memory:";
    for (bool started : {false, true}) {
        auto created = SampleService::create(options);
        ASSERT_TRUE(created) << created.error().description;
        if (started) (*created)->start();
        // Destruction right after start() must not wait for a listen that began after the stop.
    }
}

TEST(SampleServiceLifecycleTest, PortInUseIsAnError) {
    core::LogCapture log;
    ServiceOptions options;
    options.port = 0;
    options.database = ":memory:";
    auto first = SampleService::create(options);
    ASSERT_TRUE(first);
    options.port = (*first)->port();
    EXPECT_FALSE(SampleService::create(options));
}
