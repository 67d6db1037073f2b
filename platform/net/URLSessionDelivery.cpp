// The URL session's delegate events: how they are gathered on the network thread and handed to
// the delegate queue, held until the delegate has answered a response, and the end of a task
// (its metrics, its completion, and the session's invalidation after the last one).

#include "platform/net/URLSessionEngine.h"

#include "platform/core/Files.h"
#include "platform/dispatch/Clock.h"
#include "platform/net/URLError.h"

namespace net {

// Queues a delegate event now.
// On the network thread, events are gathered and handed to the delegate queue as one
// operation per turn of the loop: a queue hand-off per event would cost a thread wake-up each.
// The order of events is kept either way.
void SessionEngine::deliver(std::function<void()> event) {
    if (std::this_thread::get_id() == networkThread_) {
        batch_.push_back(std::move(event));
        return;
    }
    queue_->addOperation(std::move(event));
}

void SessionEngine::flushBatch() {
    if (batch_.empty()) return;
    // Each event is let go once it has run: a turn that reads a big body hands over many
    // chunks, which would otherwise all stay held until the last one had been delivered.
    queue_->addOperation([events = std::move(batch_)]() mutable {
        for (auto& event : events) {
            event();
            event = nullptr;
        }
    });
    batch_.clear();
}

// Queues an event that must come after the delegate's answer to the response.
void SessionEngine::deliverAfterResponse(const std::shared_ptr<URLSessionTask>& task, std::function<void()> event,
                                         bool keepOnCancel) {
    std::lock_guard lock(task->mutex_);
    if (task->state_ == URLSessionTask::State::canceling && !keepOnCancel) return;
    if (!task->responseDecided_) {
        task->held_.emplace_back(keepOnCancel, std::move(event));
        return;
    }
    deliver(std::move(event));
}

bool SessionEngine::responds(Callback c) const {
    auto d = delegate();
    return d && d->respondsTo(c);
}

void SessionEngine::finish(const std::shared_ptr<URLSessionTask>& task, Transfer* transfer, std::optional<core::Error> error,
                           bool attached) {
    std::shared_ptr<URLSessionTaskMetrics> metrics;
    if (transfer) {
        metrics = transfer->metrics;
        metrics->taskInterval.duration = dispatch::absoluteTime() - metrics->taskInterval.startDate;
        if (attached && transfer->easy) {
            if (!transfer->legRecorded) recordLegMetrics(*transfer); // cancelled or timed out mid-way
            handOverRequest(*transfer);
            if (!transfer->filePath.empty()) {
                if (transfer->file) std::fclose(transfer->file);
                transfer->file = nullptr;
                (void)core::files::remove(transfer->filePath);
            }
            auto keep = takeOut(*transfer); // destroyed at the end of this call
            finishTask(task, std::move(metrics), std::move(error));
            return;
        }
    }
    finishTask(task, std::move(metrics), std::move(error));
}

void SessionEngine::finishTask(const std::shared_ptr<URLSessionTask>& task, std::shared_ptr<URLSessionTaskMetrics> metrics,
                               std::optional<core::Error> error) {
    {
        std::lock_guard lock(task->mutex_);
        if (task->state_ == URLSessionTask::State::completed) return;
        // A task cancelled while its transfer was ending ends as cancelled.
        if (task->state_ == URLSessionTask::State::canceling && !(error && isURLError(*error, URLErrorCode::cancelled)))
            error = makeURLError(URLErrorCode::cancelled, task->currentRequest_ ? task->currentRequest_->url : std::nullopt);
        task->state_ = URLSessionTask::State::completed;
        task->error_ = error;
    }
    parked_.erase(task->taskIdentifier());
    auto self = shared_from_this();
    if (metrics && responds(Callback::taskDidFinishCollectingMetrics)) {
        deliverAfterResponse(
            task, [self, task, metrics] {
                if (auto d = self->delegate()) d->didFinishCollectingMetrics(task->session(), task, metrics);
            },
            /*keepOnCancel=*/true);
    }
    ++pendingCompletions_;
    // The completion reads the task's error when it runs: a refusal of the response may still
    // turn it into "cancelled".
    deliverAfterResponse(task, [self, task] { self->completeOnQueue(task, task->error()); }, /*keepOnCancel=*/true);
    finishInvalidationIfIdle();
}

// The last event of a task, on the delegate queue.
void SessionEngine::completeOnQueue(const std::shared_ptr<URLSessionTask>& task, const std::optional<core::Error>& error) {
    if (auto d = delegate(); d && d->respondsTo(Callback::taskDidComplete)) d->didCompleteWithError(task->session(), task, error);
    if (--pendingCompletions_ == 0) deliverInvalidationWhenDue();
}

void SessionEngine::finishInvalidationIfIdle() {
    if (!invalidating_ || !transfers_.empty() || !parked_.empty() || !streams_->empty()) return;
    invalidationReady_ = true;
    deliverInvalidationWhenDue();
}

// The delegate hears of the invalidation after the completion of every task.
void SessionEngine::deliverInvalidationWhenDue() {
    if (!invalidationReady_ || pendingCompletions_ > 0 || invalidationDelivered_.exchange(true)) return;
    auto self = shared_from_this();
    deliver([self] {
        std::shared_ptr<URLSessionDelegate> d;
        {
            std::lock_guard lock(self->delegateMutex_);
            d = std::move(self->delegate_); // the session lets its delegate go
        }
        auto session = self->session_.lock();
        if (d && session && d->respondsTo(Callback::sessionDidBecomeInvalid)) d->didBecomeInvalidWithError(session, std::nullopt);
    });
}

} // namespace net
