#pragma once
// What a web view is about to load, as its navigation delegate sees it, and the delegate's answer.

#include "platform/net/URLRequest.h"

namespace web {

enum class NavigationActionPolicy { cancel, allow };

struct NavigationAction {
    // The request of the navigation; its URL is absent when the text was not a URL we can parse
    // (custom schemes such as "app_action://" parse as URLs).
    net::URLRequest request;
    // The text of the address exactly as the engine gives it, empty when there is none.
    std::string urlText;
};

} // namespace web
