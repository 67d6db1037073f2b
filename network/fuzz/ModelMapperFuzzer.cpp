// The service's JSON answers mapped into the server models, as the service client does: the
// envelope from the whole answer, then each model from its "data".
// Invariants: no crash or sanitizer report; mapping never throws.

#include "network/MWModel.h"
#include "network/ServerModels.h"
#include "platform/core/Json.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto answer = core::json::read(std::string_view(reinterpret_cast<const char*>(data), size), core::json::AllowFragments);
    if (!answer) return 0;
    std::optional<core::Value> whole(*answer);
    const core::Value* member = answer->dictionary() ? answer->dictionary()->find("data") : nullptr;
    std::optional<core::Value> payload = member ? std::optional<core::Value>(*member) : std::nullopt;
    core::make<network::MWModel>()->reloadModel(whole);
    core::make<network::MWMainListModel>()->reloadModel(payload);
    core::make<network::QUAnswerListModel>()->reloadModel(payload);
    core::make<network::NXServerModel>()->reloadModel(payload);
    return 0;
}
