#pragma once
// QNStorge: the search history, newest first, at most 100 texts, kept in the settings under
// "history".

#include <string>
#include <string_view>
#include <vector>

namespace network {

class QNStorge {
public:
    QNStorge() = delete;

    static constexpr const char* kHistoryKey = "history";
    static constexpr std::size_t kMaxEntries = 100;

    // The stored texts; an empty list when nothing (or something that is not a list) is stored.
    static std::vector<std::string> history();
    // Moves the text to the front (adding it when new) and keeps at most 100 entries; the empty
    // text changes nothing.
    static void addHistory(std::string_view text);
};

} // namespace network
