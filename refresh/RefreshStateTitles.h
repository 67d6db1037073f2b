#pragma once
// The titles a control shows per state, shared by the state header and the state footer.

#include "refresh/RefreshComponentState.h"

#include <map>
#include <optional>
#include <string>

namespace refresh {

class RefreshStateTitles {
public:
    // Stores the title; a missing one is ignored (false).
    bool set(const std::optional<std::string>& title, RefreshComponentState state) {
        if (!title) return false;
        titles_[state] = *title;
        return true;
    }
    // The state's title, empty where none is set.
    std::string titleFor(RefreshComponentState state) const { return titleForState(state).value_or(std::string()); }
    // The state's title; none where none is set.
    std::optional<std::string> titleForState(RefreshComponentState state) const {
        auto it = titles_.find(state);
        if (it == titles_.end()) return std::nullopt;
        return it->second;
    }

private:
    std::map<RefreshComponentState, std::string> titles_;
};

} // namespace refresh
