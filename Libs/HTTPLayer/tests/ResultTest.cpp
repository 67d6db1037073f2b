#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/Result.h"

#include <gtest/gtest.h>

using namespace http;

namespace {

// A caller's own error type.
struct TestError {
    int code = 0;
    std::string description() const { return "TestError(code: " + std::to_string(code) + ")"; }
    std::string localizedDescription() const { return "test error " + std::to_string(code); }
};

Error testError(int code) { return TestError{code}; }

TEST(Result, CasesAndAccessors) {
    Result<int> ok = 1;
    Result<int> bad = testError(2);
    EXPECT_TRUE(ok.isSuccess());
    EXPECT_FALSE(ok.isFailure());
    EXPECT_EQ(ok.value(), 1);
    EXPECT_FALSE(ok.error());
    EXPECT_FALSE(bad.isSuccess());
    EXPECT_TRUE(bad.isFailure());
    EXPECT_FALSE(bad.value());
    ASSERT_TRUE(bad.error());
    EXPECT_EQ(bad.error()->as<TestError>()->code, 2);
    EXPECT_EQ(Result<int>::success(3).successValue(), 3);
    EXPECT_EQ(Result<int>::failure(testError(4)).failureError().as<TestError>()->code, 4);
    // Errors convert directly.
    Result<std::string> fromHTTP = HTTPError::responseSerializationFailed(ResponseSerializationFailureReason::inputDataNil());
    EXPECT_TRUE(fromHTTP.failureError().is<HTTPError>());
    Result<std::string> fromPlatform = core::Error{"d", 1, "m", {}};
    EXPECT_TRUE(fromPlatform.failureError().is<core::Error>());
}

TEST(Result, Texts) {
    struct Case {
        std::string description, debugDescription, expectedShort, expectedDebug;
    } cases[] = {
        {Result<int>(1).description(), Result<int>(1).debugDescription(), "SUCCESS", "SUCCESS: 1"},
        {Result<core::Value>(core::Value(1)).description(), Result<core::Value>(core::Value(1)).debugDescription(), "SUCCESS", "SUCCESS: 1"},
        {Result<core::Value>(core::Value()).description(), Result<core::Value>(core::Value()).debugDescription(), "SUCCESS", "SUCCESS: <null>"},
        {Result<std::string>(std::string("text")).description(), Result<std::string>(std::string("text")).debugDescription(), "SUCCESS", "SUCCESS: text"},
        {Result<core::Bytes>(core::Bytes{1, 2}).description(), Result<core::Bytes>(core::Bytes{1, 2}).debugDescription(), "SUCCESS", "SUCCESS: 2 bytes"},
        {Result<bool>(true).description(), Result<bool>(true).debugDescription(), "SUCCESS", "SUCCESS: true"},
        {Result<int>(testError(5)).description(), Result<int>(testError(5)).debugDescription(), "FAILURE", "FAILURE: TestError(code: 5)"},
        {Result<int>(core::Error{"core.json", 3, "Bad JSON", {}}).description(),
         Result<int>(core::Error{"core.json", 3, "Bad JSON", {}}).debugDescription(), "FAILURE",
         "FAILURE: Error Domain=core.json Code=3 \"Bad JSON\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.description, c.expectedShort);
        EXPECT_EQ(c.debugDescription, c.expectedDebug);
    }
}

TEST(Result, Evaluating) {
    EXPECT_EQ(Result<int>::evaluating([] { return 7; }).value(), 7);
    EXPECT_EQ(Result<int>::evaluating([] { return Result<int>(testError(8)); }).error()->as<TestError>()->code, 8);
    auto fromExpected = Result<int>::evaluating([]() -> core::Expected<int> { return core::Error{"d", 9, "", {}}; });
    EXPECT_EQ(fromExpected.failureError().as<core::Error>()->code, 9);
    // Exactly the error the closure reported, not a copy of its contents only.
    Error reported = testError(10);
    auto same = Result<int>::evaluating([&] { return Result<int>(reported); });
    EXPECT_TRUE(same.failureError().isSameInstance(reported));
}

TEST(Result, ValueOrThrow) {
    EXPECT_EQ(Result<int>(1).valueOrThrow(), 1);
    try {
        (void)Result<int>(testError(11)).valueOrThrow();
        FAIL() << "no throw";
    } catch (const Error& error) {
        EXPECT_EQ(error.as<TestError>()->code, 11);
    }
}

TEST(Result, Map) {
    auto mapped = Result<int>(2).map([](int v) { return std::to_string(v * 2); });
    static_assert(std::is_same_v<decltype(mapped), Result<std::string>>);
    EXPECT_EQ(mapped.value(), "4");
    bool called = false;
    auto failed = Result<int>(testError(1)).map([&](int v) {
        called = true;
        return v;
    });
    EXPECT_FALSE(called);
    EXPECT_EQ(failed.error()->as<TestError>()->code, 1);
}

TEST(Result, TryMap) {
    EXPECT_EQ(Result<int>(2).tryMap([](int v) { return Result<double>(v / 4.0); }).value(), 0.5);
    Error raised = testError(12);
    auto failed = Result<int>(2).tryMap([&](int) { return Result<double>(raised); });
    EXPECT_TRUE(failed.failureError().isSameInstance(raised));
    auto viaExpected = Result<int>(2).tryMap([](int) -> core::Expected<std::string> { return core::Error{"d", 13, "", {}}; });
    static_assert(std::is_same_v<decltype(viaExpected), Result<std::string>>);
    EXPECT_EQ(viaExpected.failureError().as<core::Error>()->code, 13);
    bool called = false;
    auto untouched = Result<int>(testError(14)).tryMap([&](int v) {
        called = true;
        return Result<int>(v);
    });
    EXPECT_FALSE(called);
    EXPECT_EQ(untouched.failureError().as<TestError>()->code, 14);
}

TEST(Result, MapError) {
    auto mapped = Result<int>(testError(1)).mapError([](const Error& e) { return TestError{e.as<TestError>()->code + 100}; });
    EXPECT_EQ(mapped.failureError().as<TestError>()->code, 101);
    bool called = false;
    auto success = Result<int>(5).mapError([&](const Error& e) {
        called = true;
        return e;
    });
    EXPECT_FALSE(called);
    EXPECT_EQ(success.value(), 5);
}

TEST(Result, TryMapError) {
    auto mapped = Result<int>(testError(1)).tryMapError([](const Error&) { return Result<TestError>(TestError{2}); });
    EXPECT_EQ(mapped.failureError().as<TestError>()->code, 2);
    Error raised = core::Error{"raised", 3, "", {}};
    auto raising = Result<int>(testError(1)).tryMapError([&](const Error&) { return Result<TestError>(raised); });
    EXPECT_TRUE(raising.failureError().isSameInstance(raised));
    EXPECT_EQ(Result<int>(6).tryMapError([](const Error&) { return Result<TestError>(TestError{2}); }).value(), 6);
}

TEST(Result, PeeksAndOns) {
    int seenValue = 0;
    int seenError = 0;
    int successes = 0;
    int failures = 0;
    Result<int> ok = 3;
    Result<int> bad = testError(4);
    for (const auto* r : {&ok, &bad}) {
        const Result<int>& same = r->peekValue([&](int v) { seenValue = v; })
                                      .peekError([&](const Error& e) { seenError = e.as<TestError>()->code; })
                                      .onSuccess([&] { ++successes; })
                                      .onFailure([&] { ++failures; });
        EXPECT_EQ(&same, r);
    }
    EXPECT_EQ(seenValue, 3);
    EXPECT_EQ(seenError, 4);
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(failures, 1);
}

} // namespace
