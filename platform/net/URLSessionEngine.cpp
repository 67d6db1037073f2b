// The URL session's engine: its network thread, the loop that drives libcurl, and the commands
// callers send it for their tasks (resume, suspend, cancel, invalidation).

#include "platform/net/URLSessionEngine.h"

#include "platform/core/PropertyList.h"
#include "platform/core/ProcessInfo.h"
#include "platform/net/URLError.h"

#include <malloc.h>
#include <pthread.h>

namespace net {

namespace {

void initCurlOnce() {
    static const bool initialised = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        // Bodies of up to several MiB grow on the network and delegate threads. glibc raises its
        // mmap threshold to the largest block freed (up to 32 MiB), after which such buffers are
        // carved from the threads' arenas, whose freed pages stay resident (malloc_trim does not
        // shrink an arena's top): each big body left 10-20 MiB behind. Fixing the threshold at its
        // default keeps them mapped on their own and handed back when freed.
        mallopt(M_MMAP_THRESHOLD, static_cast<int>(kMmapThreshold));
        return true;
    }();
    (void)initialised;
}

// The User-Agent of a request that names none.
std::string defaultUserAgent() {
    auto info = core::Bundle::infoDictionary();
    const core::Value* name = info ? info->find(core::Bundle::kExecutable) : nullptr;
    return (name && name->isString() ? name->asString() : "quillora") + " (Linux) libcurl";
}

} // namespace

SessionEngine::SessionEngine(const URLSessionConfiguration& configuration, std::shared_ptr<URLSessionDelegate> delegate,
                             std::shared_ptr<dispatch::OperationQueue> queue)
    : configuration_(configuration), defaultUserAgent_(defaultUserAgent()), delegate_(std::move(delegate)),
      queue_(std::move(queue)) {
    initCurlOnce();
    multi_ = curl_multi_init();
    // The limit of connections per host is kept by the engine itself (see attach()), not by
    // libcurl: a transfer libcurl holds back for want of a connection is not always resumed
    // when one comes free, and would then wait for the next unrelated event.
    //
    // libcurl sizes its cache of idle connections by the transfers it holds; as the engine
    // hands it only a few at a time, the cache is given room for the connections of a few
    // hosts instead, so that a burst of requests does not close connections the next burst
    // would reuse.
    if (configuration_.httpMaximumConnectionsPerHost > 0)
        curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, 4L * configuration_.httpMaximumConnectionsPerHost);
}

SessionEngine::~SessionEngine() {
    for (auto& [easy, transfer] : transfers_) {
        if (transfer->inMulti) curl_multi_remove_handle(multi_, easy);
        cleanup(*transfer);
    }
    curl_multi_cleanup(multi_);
    for (auto& [lines, list] : headerLists_) curl_slist_free_all(list);
    delete batch_;
    for (session::Batch* batch : spareBatches_) delete batch;
    home_->list.close();
}

void SessionEngine::startThread() {
    auto self = shared_from_this();
    streams_ = std::make_shared<StreamConnections>(streamHost());
    thread_ = std::thread([self] { self->run(); });
}

void SessionEngine::setSession(std::weak_ptr<URLSession> session) { session_ = std::move(session); }

std::shared_ptr<URLSessionDelegate> SessionEngine::delegate() const {
    std::lock_guard lock(delegateMutex_);
    return delegate_;
}

// Runs `command` on the network thread.
void SessionEngine::post(std::function<void()> command) {
    bool wake;
    {
        std::lock_guard lock(mutex_);
        // Whoever queued the first waiting command has woken the thread already, and the
        // thread takes all waiting commands at once: one wake-up per batch is enough.
        wake = commands_.empty();
        commands_.push_back(std::move(command));
    }
    if (wake) curl_multi_wakeup(multi_);
}

void SessionEngine::resume(const std::shared_ptr<URLSessionTask>& task) {
    auto self = shared_from_this();
    post([self, task] { self->resumeOnThread(task); });
}

void SessionEngine::suspend(const std::shared_ptr<URLSessionTask>& task) {
    auto self = shared_from_this();
    post([self, task] { self->suspendOnThread(task); });
}

void SessionEngine::cancel(const std::shared_ptr<URLSessionTask>& task, std::function<void(std::optional<core::Bytes>)> resumeData) {
    {
        // From now on nothing more of this task reaches the delegate but its completion.
        std::lock_guard lock(task->mutex_);
        if (task->state_ == URLSessionTask::State::completed) {
            if (!task->responseDecided_) {
                // The transfer is over but the delegate refused its response: the data held
                // back is dropped, and the metrics and the completion (now "cancelled") go on.
                task->error_ = makeURLError(URLErrorCode::cancelled, task->currentRequest_ ? task->currentRequest_->url : std::nullopt);
                releaseHeld(task->held_, /*onlyKept=*/true);
                task->responseDecided_ = true;
            }
            if (resumeData) queue_->addOperation([resumeData] { resumeData(std::nullopt); });
            return;
        }
        task->state_ = URLSessionTask::State::canceling;
        for (session::Event* event : task->held_) {
            event->releaseFunction(); // what it holds goes here, its memory back home
            giveBack(event);
        }
        task->held_.clear();
        task->responseDecided_ = true;
    }
    auto self = shared_from_this();
    post([self, task, resumeData = std::move(resumeData)] { self->cancelOnThread(task, resumeData); });
}

void SessionEngine::invalidate(bool cancelTasks) {
    {
        std::lock_guard lock(mutex_);
        if (invalidated_) return;
        invalidated_ = true;
    }
    auto self = shared_from_this();
    post([self, cancelTasks] {
        self->invalidating_ = true;
        if (cancelTasks) {
            std::vector<std::shared_ptr<URLSessionTask>> tasks;
            for (auto& [easy, t] : self->transfers_) tasks.push_back(t->task);
            for (auto& [id, t] : self->parked_) tasks.push_back(t);
            for (auto& t : self->streams_->tasks()) tasks.push_back(t);
            for (auto& t : tasks) self->cancel(t, nullptr);
        }
        self->finishInvalidationIfIdle();
    });
}

void SessionEngine::shutdown() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    curl_multi_wakeup(multi_);
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
        } else {
            thread_.join();
        }
    }
}

void SessionEngine::run() {
    networkThread_ = std::this_thread::get_id();
    // Named so that a profiler or debugger can tell it from the queues' workers.
    pthread_setname_np(pthread_self(), "url-session");
    int ready = 0;     // sockets the last poll found ready
    int gathered = 0;  // turns whose events wait in the batch
    for (;;) {
        drainReturns();
        // The command list is read at the top of every turn, so after every poll: a poll that
        // takes post()'s wake-up without sleeping (see below) cannot leave a command waiting.
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
            takenCommands_.swap(commands_);
        }
        for (auto& c : takenCommands_) c();
        takenCommands_.clear();
        int running = 0;
        // libcurl sends a transfer one piece of its body per call. When a piece went out the
        // socket most likely takes the next one at once: up to kPiecesPerTurn pieces go before
        // the thread polls, instead of a poll (a system call) for each.
        std::uint64_t sent = piecesSent_;
        curl_multi_perform(multi_, &running);
        for (int more = 1; more < kPiecesPerTurn && piecesSent_ != sent; ++more) {
            sent = piecesSent_;
            curl_multi_perform(multi_, &running);
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
            if (msg->msg == CURLMSG_DONE) transferDone(msg->easy_handle, msg->data.result);
        }
        // When more than one socket was ready, more are likely to be ready by the time this turn
        // is done: its events wait for the next turn, polled without sleeping, and up to
        // kTurnsPerBatch turns' events go to the delegate queue in one submission, which wakes
        // its worker once instead of once a turn. So do events that may wait (an upload's
        // progress, a turn for each piece sent) when nothing more pressing joined them. Events
        // never wait through a sleep (nor, so, past libcurl's next timer): a turn that finds
        // nothing ready hands them over at once.
        const bool gather = batch_ && !batch_->events.empty() && (ready > 1 || !batch_->urgent) && ++gathered < kTurnsPerBatch;
        if (!gather) {
            flushBatch();
            gathered = 0;
        }
        // Sleeps until a socket is ready, libcurl's next timer is due or post() wakes the
        // thread; nothing else can give it work, so there is no periodic turn to hide a missed
        // wake-up behind.
        // Stream tasks' sockets are waited on with libcurl's.
        waitFds_.clear();
        streams_->addWaitFds(waitFds_);
        ready = 0;
        curl_multi_poll(multi_, waitFds_.data(), unsigned(waitFds_.size()), gather ? 0 : std::numeric_limits<int>::max(), &ready);
        streams_->afterPoll(waitFds_);
        if (gather && ready == 0) {
            flushBatch();
            gathered = 0;
        }
    }
    // Commands that never ran are dropped: each holds the engine, so keeping them would keep
    // the engine, and its delegate, alive for ever.
    std::vector<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(commands_);
    }
    dropped.clear();
    // Whatever is still running ends with the session.
    for (auto& [easy, transfer] : transfers_) {
        std::lock_guard lock(transfer->task->mutex_);
        transfer->task->state_ = URLSessionTask::State::completed;
        transfer->task->error_ = makeURLError(URLErrorCode::cancelled, transfer->request.url);
    }
    streams_->shutdown();
}

void SessionEngine::resumeOnThread(const std::shared_ptr<URLSessionTask>& task) {
    if (auto stream = std::dynamic_pointer_cast<URLSessionStreamTask>(task)) return streams_->resume(stream, invalidating_);
    const auto resumption = task->markRunning();
    if (resumption == URLSessionTask::Resumption::ended) return;
    if (resumption == URLSessionTask::Resumption::again) {
        // Continue a paused transfer. Not under the task's lock: unpausing hands libcurl's buffered
        // body to the write callback at once, and that takes the same lock.
        std::vector<std::string> hosts;
        for (auto& [easy, t] : transfers_) {
            if (t->task == task && t->suspended) {
                t->suspended = false;
                t->lastActivity = now();
                if (t->inMulti) curl_easy_pause(easy, CURLPAUSE_CONT); else hosts.push_back(t->hostKey);
            }
        }
        for (const auto& host : hosts) attachWaiting(host);
        armTimeoutCheck();
        return;
    }
    if (invalidating_) {
        finish(task, nullptr, makeURLError(URLErrorCode::cancelled, urlOf(*task)));
        return;
    }
    auto request = task->currentRequest();
    if (!request) {
        finish(task, nullptr, makeURLError(URLErrorCode::badURL));
        return;
    }
    startLeg(task, std::move(*request), 0, session::makeReturned<URLSessionTaskMetrics>(home_));
}

void SessionEngine::suspendOnThread(const std::shared_ptr<URLSessionTask>& task) {
    if (auto stream = std::dynamic_pointer_cast<URLSessionStreamTask>(task)) return streams_->suspend(stream);
    {
        std::lock_guard lock(task->mutex_);
        if (task->state_ != URLSessionTask::State::running) return;
        task->state_ = URLSessionTask::State::suspended;
    }
    for (auto& [easy, t] : transfers_) {
        if (t->task == task) {
            t->suspended = true;
            // One still waiting for a connection just stays back until it is resumed.
            if (t->inMulti) curl_easy_pause(easy, CURLPAUSE_ALL);
        }
    }
}

void SessionEngine::cancelOnThread(const std::shared_ptr<URLSessionTask>& task, const std::function<void(std::optional<core::Bytes>)>& resumeData) {
    if (auto stream = std::dynamic_pointer_cast<URLSessionStreamTask>(task)) return streams_->cancel(stream);
    Transfer* transfer = findTransfer(task);
    std::optional<core::Bytes> data;
    if (transfer && resumeData) data = makeResumeData(*transfer);
    if (transfer) {
        if (data) transfer->filePath.clear(); // keep the partial file for the continuation
        finish(task, transfer, makeURLError(URLErrorCode::cancelled, transfer->request.url,
                                            data ? core::Dictionary{{kDownloadTaskResumeDataKey, *data}} : core::Dictionary{}));
    } else if (parked_.erase(task->taskIdentifier()) || !task->started_) {
        finish(task, nullptr, makeURLError(URLErrorCode::cancelled, urlOf(*task)));
    }
    if (resumeData) deliver([resumeData, data] { resumeData(data); });
}

SessionEngine::Transfer* SessionEngine::findTransfer(const std::shared_ptr<URLSessionTask>& task) {
    for (auto& [easy, t] : transfers_) {
        if (t->task == task) return t.get();
    }
    return nullptr;
}

// What the stream tasks' part of the session may use of it.
StreamConnections::Host SessionEngine::streamHost() {
    std::weak_ptr<SessionEngine> weakSelf = shared_from_this();
    return {
        [weakSelf](std::function<void()> command) {
            if (auto self = weakSelf.lock()) self->post(std::move(command));
        },
        [this](std::function<void()> event) { deliver(std::move(event)); },
        [this](const std::shared_ptr<URLSessionTask>& task, std::optional<core::Error> error) {
            finish(task, nullptr, std::move(error));
        },
        [this] { return delegate(); },
    };
}

} // namespace net
