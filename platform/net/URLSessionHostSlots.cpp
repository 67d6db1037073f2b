// Connections per host of a URL session.
//
// At most httpMaximumConnectionsPerHost transfers of one host are in libcurl at a time (a
// value below 1 means no limit); the others wait here in the order they started, and a free
// connection goes to the waiting one of highest task priority, the earliest among equals. Each
// transfer in libcurl has a connection of its own, and one that ends hands its connection to
// the next, which libcurl then reuses.

#include "platform/net/URLSessionEngine.h"

#include <algorithm>

namespace net {

void SessionEngine::attach(Transfer& t) {
    HostSlots& slots = hosts_[t.hostKey];
    const int limit = configuration_.httpMaximumConnectionsPerHost;
    if (limit > 0 && slots.active >= limit) {
        slots.waiting.push_back(&t);
        return;
    }
    ++slots.active;
    t.inMulti = true;
    curl_multi_add_handle(multi_, t.easy);
}

// Takes a transfer out of libcurl, or out of the line, and lets the next one of its host in.
void SessionEngine::detach(Transfer& t) {
    auto it = hosts_.find(t.hostKey);
    if (t.inMulti) {
        curl_multi_remove_handle(multi_, t.easy);
        t.inMulti = false;
        if (it != hosts_.end()) --it->second.active;
    } else if (it != hosts_.end()) {
        std::erase(it->second.waiting, &t);
    }
    if (it != hosts_.end()) attachWaiting(t.hostKey);
}

// Takes a finished transfer out of libcurl and out of the table; the caller keeps what is
// returned for as long as it still reads the transfer.
std::unique_ptr<SessionEngine::Transfer> SessionEngine::takeOut(Transfer& t) {
    auto it = transfers_.find(t.easy);
    detach(t);
    cleanup(t);
    auto out = std::move(it->second);
    transfers_.erase(it);
    return out;
}

// Lets waiting transfers of `host` into libcurl while the host has connections to spare.
void SessionEngine::attachWaiting(const std::string& host) {
    auto it = hosts_.find(host);
    if (it == hosts_.end()) return;
    HostSlots& slots = it->second;
    const int limit = configuration_.httpMaximumConnectionsPerHost;
    while (limit <= 0 || slots.active < limit) {
        // Priorities may change while waiting, so the line is searched rather than kept sorted.
        auto best = slots.waiting.end();
        for (auto w = slots.waiting.begin(); w != slots.waiting.end(); ++w) {
            if (!(*w)->suspended && (best == slots.waiting.end() || (*w)->task->priority() > (*best)->task->priority())) best = w;
        }
        if (best == slots.waiting.end()) break;
        Transfer* next = *best;
        slots.waiting.erase(best);
        ++slots.active;
        next->inMulti = true;
        curl_multi_add_handle(multi_, next->easy);
    }
    if (slots.active == 0 && slots.waiting.empty()) hosts_.erase(it);
}

} // namespace net
