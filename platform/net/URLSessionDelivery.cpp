// The URL session's delegate events: how they are gathered on the network thread and handed to
// the delegate queue, held until the delegate has answered a response, and the end of a task
// (its metrics, its completion, and the session's invalidation after the last one).

#include "platform/net/URLSessionEngine.h"

#include "platform/core/Files.h"
#include "platform/dispatch/Clock.h"
#include "platform/net/URLError.h"

#include <utility>

namespace net {

// Events made on the network thread go into the turn's batch, handed to the delegate queue as
// one operation (flushBatch): a queue hand-off per event would cost a thread wake-up each. The
// order of events is kept either way.
void SessionEngine::deliverEvent(session::Event* event) {
    if (!batch_) batch_ = takeBatch();
    batch_->events.push_back(event);
    if (!event->mayWait) batch_->urgent = true;
}

session::Batch* SessionEngine::takeBatch() {
    if (spareBatches_.empty()) return new session::Batch;
    session::Batch* batch = spareBatches_.back();
    spareBatches_.pop_back();
    return batch;
}

void SessionEngine::flushBatch() {
    if (!batch_ || batch_->events.empty()) return;
    submit(std::exchange(batch_, nullptr));
}

// Hands a batch to the delegate queue. The operation holds only the batch's address, which fits
// in the operation's own storage; the batch holds the engine until it has gone back.
void SessionEngine::submit(session::Batch* batch) {
    batch->engine = shared_from_this();
    queue_->addOperation([batch] { runBatch(batch); });
}

// On the delegate queue: runs the batch's events in order, letting each one's function go once
// it has run, then gives the batch back. An event with a payload goes back as soon as it has
// run: a turn that reads a big body hands over many chunks, which would otherwise all stay held
// until the last one had been delivered.
void SessionEngine::runBatch(session::Batch* batch) {
    const auto engine = std::move(batch->engine);
    for (session::Event*& event : batch->events) {
        event->run();
        event->releaseFunction();
        if (event->bytes() > 0) engine->giveBack(std::exchange(event, nullptr));
    }
    engine->giveBack(batch);
}

// Any thread: `spent` goes back to the network thread, which frees it at its next loop turn,
// or at once once the bytes given back pass kPromptReturnBytes.
void SessionEngine::giveBack(session::Spent* spent) {
    const std::size_t bytes = spent->bytes();
    home_->giveOrDispose(spent);
    if (bytes == 0) return;
    const std::size_t before = returnedBytes_.fetch_add(bytes, std::memory_order_relaxed);
    if (before < kPromptReturnBytes && before + bytes >= kPromptReturnBytes) curl_multi_wakeup(multi_);
}

// Network thread, at the top of each loop turn: frees what came back, keeping a few batches
// (their lists' room) for the next turns.
void SessionEngine::drainReturns() {
    session::Spent* spent = home_->list.takeAll();
    std::size_t bytes = 0;
    while (spent) {
        session::Spent* next = spent->next;
        if (spent->isBatch && spareBatches_.size() < kSpareBatches) {
            auto* batch = static_cast<session::Batch*>(spent);
            batch->clear();
            spareBatches_.push_back(batch);
        } else {
            bytes += spent->bytes();
            spent->dispose();
        }
        spent = next;
    }
    if (bytes > 0) returnedBytes_.fetch_sub(bytes, std::memory_order_relaxed);
}

// Held events the delegate may have now, handed over from whichever thread let them go, in one
// operation and in order; the others go back to the network thread unrun.
void SessionEngine::releaseHeld(std::vector<session::Event*>& held, bool onlyKept) {
    session::Batch* batch = nullptr;
    for (session::Event* event : held) {
        if (onlyKept && !event->keepOnCancel) {
            event->releaseFunction();
            giveBack(event);
            continue;
        }
        if (!batch) batch = new session::Batch;
        batch->events.push_back(event);
    }
    held.clear();
    if (batch) submit(batch);
}

// Queues an event that must come after the delegate's answer to the response.
void SessionEngine::holdOrDeliver(const std::shared_ptr<URLSessionTask>& task, session::Event* event) {
    std::lock_guard lock(task->mutex_);
    if (task->state_ == URLSessionTask::State::canceling && !event->keepOnCancel) {
        giveBack(event);
        return;
    }
    if (!task->responseDecided_) {
        task->held_.push_back(event);
        return;
    }
    deliverEvent(event);
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
            if (error && transfer->isDownload) keepForResuming(*transfer, *error);
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
