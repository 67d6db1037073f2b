// A 50-answer page of the answer list: the JSON answer's `data` mapped into QUAnswerListModel,
// against nlohmann-json parsing the same bytes alone.

#include "network/ServerModels.h"
#include "platform/core/Json.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

namespace {

std::string answerPage() {
    std::string json = R"({"status":1,"message":"ok","errcode":0,"rbac_status":"1","data":{"count":"312","now_page":2,"list":[)";
    for (int i = 0; i < 50; ++i) {
        if (i) json += ',';
        json += R"({"title":"第)" + std::to_string(i) +
                R"(个问题：她说今天好累，我该怎么回复才显得贴心？","content":"##辛苦啦,&,rrrr先好好休息一下，)"
                R"(晚点我给你讲个笑话，保证你笑着睡着。如果你愿意，也可以跟我说说今天发生了什么，我一直都在。##"})";
    }
    json += "]}}";
    return json;
}

const std::string& page() {
    static const std::string p = answerPage();
    return p;
}

void BM_NlohmannParseOnly(benchmark::State& state) {
    for (auto _ : state) {
        auto doc = nlohmann::json::parse(page());
        benchmark::DoNotOptimize(doc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page().size()));
}

void BM_AnswerPageToModel(benchmark::State& state) {
    for (auto _ : state) {
        auto answer = core::json::read(page(), core::json::AllowFragments);
        auto model = core::make<network::QUAnswerListModel>();
        model->reloadModel(std::optional<core::Value>(*answer->find("data")));
        benchmark::DoNotOptimize(model);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page().size()));
}

} // namespace

BENCHMARK(BM_NlohmannParseOnly);
BENCHMARK(BM_AnswerPageToModel);
BENCHMARK_MAIN();
