// Time-outs of a URL session's transfers, on the app's clock.
//
// One delayed check per session, set for the earliest deadline of all transfers (idle time
// of a running transfer, or the task's resource deadline). Activity only moves deadlines
// later, so a check that comes early finds nothing due and sets the next one. Delays go
// through the dispatch scheduler so that a virtual clock drives them in tests.

#include "platform/net/URLSessionEngine.h"

#include "platform/dispatch/Queue.h"
#include "platform/net/URLError.h"

#include <algorithm>

namespace net {

void SessionEngine::armTimeoutCheck() {
    double earliest = std::numeric_limits<double>::infinity();
    for (const auto& [easy, t] : transfers_) {
        if (!t->suspended) earliest = std::min(earliest, t->lastActivity + t->timeout);
        earliest = std::min(earliest, t->resourceDeadline);
    }
    if (!(earliest < scheduledCheck_)) return;
    scheduledCheck_ = earliest;
    const std::uint64_t generation = ++checkGeneration_;
    std::weak_ptr<SessionEngine> weakSelf = shared_from_this();
    dispatch::Queue::global(dispatch::QoS::utility)->after(std::max(earliest - now(), 0.001), [weakSelf, generation] {
        if (auto self = weakSelf.lock()) {
            self->post([self, generation] {
                if (generation != self->checkGeneration_) return; // replaced by an earlier check
                self->scheduledCheck_ = std::numeric_limits<double>::infinity();
                self->checkTimeouts();
            });
        }
    });
}

void SessionEngine::checkTimeouts() {
    const double t = now();
    std::vector<Transfer*> expired;
    for (const auto& [easy, transfer] : transfers_) {
        bool idle = !transfer->suspended && t - transfer->lastActivity >= transfer->timeout;
        if (idle || t >= transfer->resourceDeadline) expired.push_back(transfer.get());
    }
    for (Transfer* transfer : expired) {
        auto task = transfer->task;
        finish(task, transfer, makeURLError(URLErrorCode::timedOut, transfer->request.url));
    }
    armTimeoutCheck();
}

} // namespace net
