#pragma once
// The engine of a URL session (an internal part of the session): the network thread, its libcurl
// multi handle and every transfer in flight.
//
// Its parts live in files of their own: the thread and the task commands (URLSessionEngine.cpp),
// delivery to the delegate and the end of a task (URLSessionDelivery.cpp), one leg's libcurl
// transfer (URLSessionTransfer.cpp), connections per host (URLSessionHostSlots.cpp), redirects
// (URLSessionRedirects.cpp), authentication and server-trust challenges
// (URLSessionChallenges.cpp), downloads (URLSessionDownloads.cpp), time-outs
// (URLSessionTimeouts.cpp) and the URL cache (URLSessionCaching.cpp). Everything but the public calls runs on the network thread.

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/net/StreamConnections.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionEvents.h"
#include "platform/net/URLSessionHelpers.h"
#include "platform/net/UploadBody.h"

#include <curl/curl.h>
#include <openssl/x509.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace net {

// The credentials a leg sends, to the server and to the proxy, each with its scheme (a
// CURLAUTH_ value), and how many challenges of each the task has answered with one.
struct LegAuth {
    std::optional<URLCredential> credential;
    long scheme = CURLAUTH_BASIC;
    int failures = 0;
    std::optional<URLCredential> proxyCredential;
    long proxyScheme = CURLAUTH_BASIC;
    int proxyFailures = 0;
};

// The allocator's mmap threshold, which the first engine fixes (see initCurlOnce()): blocks from
// this size up are mappings of their own, handed back to the system when freed.
inline constexpr std::size_t kMmapThreshold = 128 * 1024;

class SessionEngine : public std::enable_shared_from_this<SessionEngine> {
public:
    using Callback = URLSessionDelegate::Callback;

    SessionEngine(const URLSessionConfiguration& configuration, std::shared_ptr<URLSessionDelegate> delegate,
                  std::shared_ptr<dispatch::OperationQueue> queue);
    ~SessionEngine();

    void startThread();
    void setSession(std::weak_ptr<URLSession> session);
    std::shared_ptr<URLSessionDelegate> delegate() const;

    // Runs `command` on the network thread.
    void post(std::function<void()> command);
    void resume(const std::shared_ptr<URLSessionTask>& task);
    void suspend(const std::shared_ptr<URLSessionTask>& task);
    void cancel(const std::shared_ptr<URLSessionTask>& task, std::function<void(std::optional<core::Bytes>)> resumeData);
    void invalidate(bool cancelTasks);
    void shutdown();

    const std::shared_ptr<StreamConnections>& streams() const { return streams_; }

private:
    // What a leg's handshake found of a chain the session has no answer for yet.
    struct TrustSlot {
        std::string host;
        int port = 0;
        bool challenged = false;
        std::vector<core::Bytes> chain; // DER, leaf first, as presented
        std::string key;                // of the answer: host, port and the chain's digest
    };
    // What a connection's chain check needs. Owned by the transfer that opened the connection: a
    // connection checks its chain only in its handshake, while that transfer is in libcurl.
    struct TrustProbe {
        SessionEngine* engine;
        std::shared_ptr<TrustSlot> slot;
    };

    struct Transfer {
        SessionEngine* engine = nullptr;
        std::shared_ptr<URLSessionTask> task;
        CURL* easy = nullptr;
        curl_slist* headerList = nullptr;      // a header list of its own, when not a shared one
        std::string hostKey; // the host whose connections it shares: scheme, host and port
        bool inMulti = false; // false while it waits for a connection of its host to come free
        URLRequest request;
        core::Bytes body;
        std::unique_ptr<UploadBody> uploadBody; // a file's or stream's body, read as it is sent
        const core::Bytes* borrowedBody = nullptr; // an upload task's bytes, sent without a copy
        const core::Bytes& sentBody() const { return borrowedBody ? *borrowedBody : body; }
        int redirects = 0;
        double timeout = 60;
        double lastActivity = 0;
        double resourceDeadline = 0; // monotonic time by which the whole task must be done
        double legStart = 0;
        bool suspended = false;
        bool legRecorded = false;
        std::size_t legMetrics = 0; // 1 + the index of this leg's entry in the metrics, once recorded
        // The response being read.
        int status = 0;
        std::string httpVersion;
        HTTPHeaders headers;
        bool headComplete = false;
        char curlMessage[CURL_ERROR_SIZE] = {}; // libcurl's own words for a failure
        bool holdingRedirect = false;
        bool holdingChallenge = false;          // a 401 (or a proxy's 407) offering authentication
        std::optional<session::AuthOffer> challengeOffer;
        bool challengeFromProxy = false;
        core::Bytes heldBody;                   // of a held redirect or challenge
        // Server trust: set on a leg that raises a challenge for a chain the session has no answer for.
        std::shared_ptr<TrustSlot> trustSlot;
        std::vector<std::unique_ptr<TrustProbe>> trustProbes; // one per connection it opened
        LegAuth auth;
        std::shared_ptr<const HTTPURLResponse> response;
        std::int64_t uploaded = 0;
        // Downloads.
        bool isDownload = false;
        std::FILE* file = nullptr;
        std::string filePath;
        std::int64_t resumeOffset = 0;
        // Metrics of finished legs (redirects) and of this one.
        std::shared_ptr<URLSessionTaskMetrics> metrics; // shared by all legs; set when the leg starts
        // The URL cache.
        std::shared_ptr<const CachedURLResponse> revalidating; // the stored response the request asks about
        bool notModified = false; // the server confirmed `revalidating` (304): its body is the answer
        bool storing = false;     // the body is kept in cacheBody, to be offered to the cache
        std::size_t cacheLimit = 0; // the largest body kept for the cache
        core::Bytes cacheBody;
        double requestWallTime = 0;  // when the leg started and its head came, wall seconds
        double responseWallTime = 0;
    };

    // ---- delivery to the delegate (URLSessionDelivery.cpp) ----

    // Queues a delegate event now: on the network thread into this turn's batch, from elsewhere
    // straight to the delegate queue.
    template <class F>
    void deliver(F&& event) {
        if (std::this_thread::get_id() == networkThread_) return deliverEvent(session::makeEvent(std::forward<F>(event)));
        queue_->addOperation(std::function<void()>(std::forward<F>(event)));
    }
    // Queues an event that must come after the delegate's answer to the response (network
    // thread); `payload` is handed to the event's function when it runs (see URLSessionEvents.h).
    template <class F>
    void deliverAfterResponse(const std::shared_ptr<URLSessionTask>& task, F&& event, bool keepOnCancel = false,
                              core::Bytes payload = {}) {
        holdOrDeliver(task, session::makeEvent(std::forward<F>(event), std::move(payload), keepOnCancel));
    }
    void deliverEvent(session::Event* event);
    void holdOrDeliver(const std::shared_ptr<URLSessionTask>& task, session::Event* event);
    void releaseHeld(std::vector<session::Event*>& held, bool onlyKept);
    void flushBatch();
    session::Batch* takeBatch();
    void submit(session::Batch* batch);
    static void runBatch(session::Batch* batch);
    void giveBack(session::Spent* spent);
    void drainReturns();
    bool responds(Callback c) const;

    // ---- the thread and the task commands (URLSessionEngine.cpp) ----

    void run();
    void resumeOnThread(const std::shared_ptr<URLSessionTask>& task);
    void suspendOnThread(const std::shared_ptr<URLSessionTask>& task);
    void cancelOnThread(const std::shared_ptr<URLSessionTask>& task, const std::function<void(std::optional<core::Bytes>)>& resumeData);
    Transfer* findTransfer(const std::shared_ptr<URLSessionTask>& task);
    static double now() { return dispatch::Clock::current().monotonicTime(); }
    static std::optional<URL> urlOf(const URLSessionTask& task) {
        auto request = task.currentRequest();
        return request ? request->url : std::nullopt;
    }
    StreamConnections::Host streamHost();

    // ---- one leg: a request and its response (URLSessionTransfer.cpp) ----

    void startLeg(const std::shared_ptr<URLSessionTask>& task, URLRequest request, int redirects,
                  std::shared_ptr<URLSessionTaskMetrics> metrics, double resourceDeadline = 0,
                  LegAuth auth = {}, std::shared_ptr<core::InputStream> bodyStream = nullptr);
    void askForBodyStream(const std::shared_ptr<URLSessionTask>& task, URLRequest request, int redirects,
                          std::shared_ptr<URLSessionTaskMetrics> metrics, double deadline,
                          LegAuth auth);
    void continueUpload(CURL* easy, const std::shared_ptr<URLSessionTask>& task);
    void configure(Transfer& t);
    curl_slist* headerList(Transfer& t, const std::string*& acceptEncoding);
    void cleanup(Transfer& t);
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t onData(char* data, std::size_t size, std::size_t count, void* user);
    static int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow);
    void headComplete(Transfer& t);
    void presentResponse(Transfer& t, const std::shared_ptr<const HTTPURLResponse>& response);
    bool received(Transfer& t, const char* data, std::size_t n);
    void transferDone(CURL* easy, CURLcode code);
    void endWithHeldResponse(const std::shared_ptr<URLSessionTask>& task, std::shared_ptr<const HTTPURLResponse> response,
                             const core::Bytes& body, std::shared_ptr<URLSessionTaskMetrics> metrics);
    void recordLegMetrics(Transfer& t);
    static void handOverRequest(Transfer& t);

    // ---- connections per host (URLSessionHostSlots.cpp) ----

    void attach(Transfer& t);
    void detach(Transfer& t);
    std::unique_ptr<Transfer> takeOut(Transfer& t);
    void attachWaiting(const std::string& host);

    // ---- redirects (URLSessionRedirects.cpp) ----

    void redirect(Transfer& t);

    // ---- authentication and server-trust challenges (URLSessionChallenges.cpp) ----

    void challenge(Transfer& t);
    void askChallenge(const std::shared_ptr<URLSessionTask>& task, URLAuthenticationChallenge challenge, std::optional<URL> url,
                      ChallengeCompletion proceed);
    static CURLcode onSSLContext(CURL*, void* sslContext, void* user);
    static int onVerifyChain(X509_STORE_CTX* ctx, void* user);
    void raiseTrustChallenge(Transfer& t);

    // ---- downloads (URLSessionDownloads.cpp) ----

    bool openDownloadFile(Transfer& t);
    std::optional<core::Bytes> makeResumeData(Transfer& t);
    // A download that failed part way keeps its file and puts resume data into the error when
    // the server can be asked for the rest of the same resource.
    void keepForResuming(Transfer& t, core::Error& error);
    void finishDownload(Transfer& t);

    // ---- the URL cache (URLSessionCaching.cpp) ----

    // Before a leg: answers the task from the cache (true), or leaves the leg to go out, made
    // conditional when the stored response is to be revalidated (`revalidating` then set).
    bool answerFromCache(const std::shared_ptr<URLSessionTask>& task, URLRequest& request, int redirects, const LegAuth& auth,
                         const std::shared_ptr<URLSessionTaskMetrics>& metrics,
                         std::shared_ptr<const CachedURLResponse>& revalidating);
    void serveStored(const std::shared_ptr<URLSessionTask>& task, const URLRequest& request, int redirects,
                     const CachedURLResponse& stored, const std::shared_ptr<URLSessionTaskMetrics>& metrics);
    // At a final response's head: whether its body is kept for the cache.
    void decideStoring(Transfer& t);
    // At the end of a whole answer: invalidation by unsafe methods, the stored body of a 304, and
    // the offer to the cache. True when it took the end of the task over.
    bool endWithCaching(Transfer& t);
    void offerToCache(Transfer& t, std::shared_ptr<const CachedURLResponse> proposed);
    void cachingAnswered(const std::shared_ptr<URLSessionDataTask>& task, const std::shared_ptr<const CachedURLResponse>& answer,
                         const URLRequest& keyed, bool authorized, const std::shared_ptr<URLSessionTaskMetrics>& metrics);
    void storeAnswer(const std::shared_ptr<const CachedURLResponse>& answer, const URLRequest& keyed, bool authorized);
    // The task's current request with the session's header fields, as the cache matches it.
    URLRequest cacheRequestOf(const URLSessionTask& task) const;
    static bool carriesAuthorization(const Transfer& t);

    // ---- the end of a task (URLSessionDelivery.cpp) ----

    void finish(const std::shared_ptr<URLSessionTask>& task, Transfer* transfer, std::optional<core::Error> error,
                bool attached = true);
    void finishTask(const std::shared_ptr<URLSessionTask>& task, std::shared_ptr<URLSessionTaskMetrics> metrics,
                    std::optional<core::Error> error);
    void completeOnQueue(const std::shared_ptr<URLSessionTask>& task, const std::optional<core::Error>& error);
    void finishInvalidationIfIdle();
    void deliverInvalidationWhenDue();

    // ---- time-outs on the app's clock (URLSessionTimeouts.cpp) ----

    void armTimeoutCheck();
    void checkTimeouts();

    // libcurl's upload buffer for a body of bytes (see configure()).
    static constexpr std::size_t kBytesUploadBuffer = kMmapThreshold - 8 * 1024;

    const URLSessionConfiguration configuration_;
    const std::string defaultUserAgent_; // for requests that name none, made once: the bundle does not change
    // The delegate has a lock of its own: every event asks for it, on the network thread and on
    // the delegate queue, and should not wait behind callers queueing commands.
    mutable std::mutex delegateMutex_;
    std::shared_ptr<URLSessionDelegate> delegate_; // guarded by delegateMutex_; released on invalidation
    mutable std::mutex mutex_;
    std::vector<std::function<void()>> commands_;  // guarded by mutex_
    bool stopping_ = false;                        // guarded by mutex_
    bool invalidated_ = false;                     // guarded by mutex_
    const std::shared_ptr<dispatch::OperationQueue> queue_;
    std::weak_ptr<URLSession> session_;
    CURLM* multi_ = nullptr;
    std::thread thread_;

    // Network thread only.
    std::atomic<std::thread::id> networkThread_{};
    std::vector<std::function<void()>> takenCommands_; // the commands of this turn (their room kept)
    // When the poll finds more than one socket ready, or the events may wait, the events of up to
    // kTurnsPerBatch turns go to the delegate queue together (see run()).
    static constexpr int kTurnsPerBatch = 4;
    // How many pieces of upload bodies one loop turn sends at the most (see run()).
    static constexpr int kPiecesPerTurn = 4;
    std::uint64_t piecesSent_ = 0; // pieces of upload bodies sent so far, counted by onProgress()
    session::Batch* batch_ = nullptr;          // events of this turn of the loop, in order
    static constexpr std::size_t kSpareBatches = 8;
    std::vector<session::Batch*> spareBatches_; // came back, kept for the next turns
    std::unordered_map<CURL*, std::unique_ptr<Transfer>> transfers_; // in libcurl or waiting for a connection
    struct HostSlots {
        int active = 0;                 // transfers of the host in libcurl
        std::deque<Transfer*> waiting;  // in the order they came to wait
    };
    std::unordered_map<std::string, HostSlots> hosts_;
    std::unordered_map<std::uint64_t, std::shared_ptr<URLSessionTask>> parked_; // waiting on a redirect or challenge answer
    // The delegate's answers to server-trust challenges, by host, port and chain: accepted (true)
    // or checked by default (false).
    std::unordered_map<std::string, bool> trustAnswers_;
    static constexpr std::size_t kSharedHeaderLists = 32;
    std::unordered_map<std::string, curl_slist*> headerLists_; // by their lines (see headerList())
    std::string headerLines_;
    bool invalidating_ = false;
    double scheduledCheck_ = std::numeric_limits<double>::infinity(); // when the pending time-out check is due
    std::uint64_t checkGeneration_ = 0;
    std::shared_ptr<StreamConnections> streams_; // made before the thread starts
    std::vector<curl_waitfd> waitFds_;
    // Any thread.
    // What other threads are done with, to be freed here; closed when the engine goes.
    const std::shared_ptr<session::ReturnHome> home_ = std::make_shared<session::ReturnHome>();
    static constexpr std::size_t kPromptReturnBytes = 256 * 1024;
    std::atomic<std::size_t> returnedBytes_{0}; // of the events in home_
    std::atomic<int> pendingCompletions_{0}; // completions queued or held, not yet delivered
    std::atomic<bool> invalidationReady_{false};
    std::atomic<bool> invalidationDelivered_{false};
};

} // namespace net
