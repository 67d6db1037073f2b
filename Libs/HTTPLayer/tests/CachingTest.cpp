// The session delegate's cache step: where the URL session offers a response to its cache, the
// closures with and without completion, the request's task delegate, or the proposal itself
// decide what is stored.
#include "Libs/HTTPLayer/DataTaskDelegate.h"
#include "Libs/HTTPLayer/tests/HTTPTestSupport.h"

using namespace http;
using namespace http::testkit;

namespace {

enum class CacheRoute { none, taskDelegate, closure, closureWithCompletion };
enum class CacheAnswer { proposed, replaced, nothing };

std::shared_ptr<const net::CachedURLResponse> answerWith(CacheAnswer answer, std::shared_ptr<const net::CachedURLResponse> proposed) {
    switch (answer) {
    case CacheAnswer::proposed: return proposed;
    case CacheAnswer::replaced: {
        auto replaced = std::make_shared<net::CachedURLResponse>(*proposed);
        replaced->data = {'o', 'w', 'n'};
        return replaced;
    }
    case CacheAnswer::nothing: break;
    }
    return nullptr;
}

} // namespace

TEST_F(ManagerFixture, TheCacheStepStoresWhatItsRouteAnswers) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = Reply::text(200, "served");
        reply.headers.push_back({"Cache-Control", "max-age=600"});
        return reply;
    });
    struct Case {
        const char* name;
        CacheRoute route;
        CacheAnswer answer;
        std::string next; // the second request's body; "served" again from the server when nothing was stored
        std::size_t requests;
    };
    const Case cases[] = {
        {"no closure: the proposal", CacheRoute::none, CacheAnswer::proposed, "served", 1},
        {"task delegate: proposal", CacheRoute::taskDelegate, CacheAnswer::proposed, "served", 1},
        {"task delegate: replaced", CacheRoute::taskDelegate, CacheAnswer::replaced, "own", 1},
        {"task delegate: nothing", CacheRoute::taskDelegate, CacheAnswer::nothing, "served", 2},
        {"closure: proposal", CacheRoute::closure, CacheAnswer::proposed, "served", 1},
        {"closure: replaced", CacheRoute::closure, CacheAnswer::replaced, "own", 1},
        {"closure: nothing", CacheRoute::closure, CacheAnswer::nothing, "served", 2},
        {"with completion: proposal", CacheRoute::closureWithCompletion, CacheAnswer::proposed, "served", 1},
        {"with completion: replaced", CacheRoute::closureWithCompletion, CacheAnswer::replaced, "own", 1},
        {"with completion: nothing", CacheRoute::closureWithCompletion, CacheAnswer::nothing, "served", 2},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto fresh = makeManager();
        auto& delegate = *fresh->delegate();
        std::atomic<int> asked{0};
        // A closure of the session delegate wins over the task delegate's, which is set too.
        if (c.route == CacheRoute::closure) {
            delegate.dataTaskWillCacheResponse = [&, answer = c.answer](const auto&, const auto&, auto proposed) {
                ++asked;
                return answerWith(answer, std::move(proposed));
            };
        } else if (c.route == CacheRoute::closureWithCompletion) {
            delegate.dataTaskWillCacheResponse = [](const auto&, const auto&, auto) { return nullptr; };
            delegate.dataTaskWillCacheResponseWithCompletion = [&, answer = c.answer](const auto&, const auto&, auto proposed,
                                                                                     auto completion) {
                ++asked;
                // Answered later, from another thread.
                std::thread([completion, answer, proposed] { completion(answerWith(answer, proposed)); }).detach();
            };
        }
        const std::string url = server.url("/c" + std::to_string(n++));
        const std::size_t before = server.requestCount();
        fresh->setStartRequestsImmediately(false);
        auto first = fresh->request(url);
        auto dataDelegate = std::dynamic_pointer_cast<DataTaskDelegate>(first->delegate());
        ASSERT_TRUE(dataDelegate);
        if (c.route != CacheRoute::none) {
            dataDelegate->dataTaskWillCacheResponse = [&, answer = c.answer, route = c.route](const auto&, const auto&, auto proposed) {
                if (route == CacheRoute::taskDelegate) ++asked;
                return answerWith(route == CacheRoute::taskDelegate ? answer : CacheAnswer::nothing, std::move(proposed));
            };
        }
        std::optional<DefaultDataResponse> firstAnswer;
        first->response(nullptr, [&](const DefaultDataResponse& r) { firstAnswer = r; });
        first->resume();
        EXPECT_EQ(text(await(firstAnswer).data()), "served");
        EXPECT_EQ(asked, c.route == CacheRoute::none ? 0 : 1);

        std::optional<DefaultDataResponse> second;
        auto next = fresh->request(url);
        next->response(nullptr, [&](const DefaultDataResponse& r) { second = r; });
        next->resume();
        EXPECT_EQ(text(await(second).data()), c.next);
        EXPECT_EQ(server.requestCount() - before, c.requests);
    }
}
