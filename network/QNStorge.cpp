#include "network/QNStorge.h"

#include "network/NXUserDefault.h"

#include <algorithm>

namespace network {

std::vector<std::string> QNStorge::history() {
    std::vector<std::string> out;
    auto stored = NXUserDefault::shared().value(kHistoryKey);
    if (!stored || !stored->isArray()) return out;
    for (const auto& entry : stored->asArray()) {
        if (entry.isString()) out.push_back(entry.asString());
    }
    return out;
}

void QNStorge::addHistory(std::string_view text) {
    if (text.empty()) return;
    auto list = history();
    if (list.empty()) {
        list.emplace_back(text);
    } else {
        if (auto it = std::find(list.begin(), list.end(), text); it != list.end()) list.erase(it);
        list.insert(list.begin(), std::string(text));
    }
    if (list.size() > kMaxEntries) list.pop_back();
    core::Array stored(list.begin(), list.end());
    NXUserDefault::shared().setValue(core::Value(std::move(stored)), kHistoryKey);
}

} // namespace network
