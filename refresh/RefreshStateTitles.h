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
    std::string titleFor(RefreshComponentState state) const {
        auto it = titles_.find(state);
        return it == titles_.end() ? std::string() : it->second;
    }

private:
    std::map<RefreshComponentState, std::string> titles_;
};

} // namespace refresh
