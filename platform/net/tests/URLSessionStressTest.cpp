// Many requests through one URL session in bursts, with commands for the tasks (resume, cancel,
// suspend and resume, a new priority) and the delegate's answers to responses arriving from other
// threads at random moments while the network thread is busy, idle or going to sleep.
//
// Every task must end exactly once: with success and its own body, or, for a task the test
// cancelled, with "cancelled" (-999) or success. When nothing happens for kStallSeconds (no task
// made, no response, data or completion) while tasks are open, a watchdog thread fails the test
// with the open tasks, what was done to each and the seed (set QUILLORA_STRESS_SEED to replay its
// choices; the thread timings differ from run to run), and ends the program: a network thread that
// has stopped cannot be joined, and the test's own threads may be waiting on it. The watchdog
// reads nothing that the session locks. QUILLORA_STRESS_REQUESTS sets the number of requests per
// connection limit.

#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>
#include <unordered_map>

using namespace net;
using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;
using Callback = URLSessionDelegate::Callback;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultRequests = 6000; // the sanitizer build is unoptimised
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kDefaultRequests = 6000;
#else
constexpr int kDefaultRequests = 20000;
#endif
#else
constexpr int kDefaultRequests = 20000;
#endif

constexpr auto kStallSeconds = std::chrono::seconds(30);
constexpr int kCommanders = 3;
constexpr std::size_t kLargeRepeat = 800; // a large body is its path this many times (about 10 KB)

int envOr(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::atoi(value) : fallback;
}

// What the test does to one task, chosen before its burst starts.
struct Plan {
    bool large = false;            // asks for a body of several reads
    bool resumedByCommander = false; // left suspended by the burst, resumed from another thread
    bool cancel = false;
    bool suspendAndResume = false;
    bool newPriority = false;
    bool deferAnswer = false;      // the response is allowed later, from another thread
    std::chrono::microseconds at{0}; // when the commander acts, from the burst's start
    std::chrono::microseconds pause{0}; // between suspend and resume
};

struct Outcome {
    int completions = 0;
    std::optional<int> code;
    std::string body;
    bool responded = false;
    std::size_t received = 0;
    std::uint64_t identifier = 0;
    std::string plan; // for the watchdog's report
};

std::string describe(const Plan& plan) {
    std::string s;
    if (plan.large) s += " large";
    if (plan.resumedByCommander) s += " resumed-by-commander";
    if (plan.cancel) s += " cancelled";
    if (plan.suspendAndResume) s += " suspended-and-resumed";
    if (plan.newPriority) s += " reprioritised";
    if (plan.deferAnswer) s += " answer-deferred";
    return s.empty() ? " plain" : s;
}

// Calls completions on its own thread once their time has come.
class LateAnswers {
public:
    LateAnswers() : thread_([this] { run(); }) {}
    ~LateAnswers() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void add(std::chrono::microseconds delay, std::function<void()> answer) {
        {
            std::lock_guard lock(mutex_);
            due_.emplace(std::chrono::steady_clock::now() + delay, std::move(answer));
        }
        changed_.notify_all();
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        while (!stopping_ || !due_.empty()) {
            if (due_.empty()) {
                changed_.wait(lock);
                continue;
            }
            const auto next = due_.begin()->first;
            if (!stopping_ && changed_.wait_until(lock, next) != std::cv_status::timeout) continue;
            auto answer = std::move(due_.begin()->second);
            due_.erase(due_.begin());
            lock.unlock();
            answer();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> due_;
    bool stopping_ = false;
    std::thread thread_;
};

class StressDelegate : public URLSessionDelegate {
public:
    explicit StressDelegate(std::string context) : context_(std::move(context)), watchdog_([this] { watch(); }) {}
    ~StressDelegate() override {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        changed_.notify_all();
        watchdog_.join();
    }

    bool respondsTo(Callback c) const override {
        return c == Callback::taskDidComplete || c == Callback::dataTaskDidReceiveData || c == Callback::dataTaskDidReceiveResponse;
    }

    // Registers a task before it can start.
    void expect(std::uint64_t identifier, std::size_t index, const Plan& plan, std::chrono::microseconds answerDelay) {
        {
            std::lock_guard lock(mutex_);
            tasks_[identifier] = {index, plan.deferAnswer, answerDelay};
            if (outcomes_.size() <= index) outcomes_.resize(index + 1);
            outcomes_[index].identifier = identifier;
            outcomes_[index].plan = describe(plan);
            ++progress_;
        }
        changed_.notify_all();
    }

    void didReceiveResponse(const Session&, const DataTask& task, std::shared_ptr<const HTTPURLResponse>,
                            std::function<void(ResponseDisposition)> completion) override {
        Registered registered;
        {
            std::lock_guard lock(mutex_);
            registered = tasks_.at(task->taskIdentifier());
            outcomes_[registered.index].responded = true;
            ++progress_;
        }
        if (!registered.deferAnswer) return completion(ResponseDisposition::allow);
        answers_.add(registered.answerDelay, [completion = std::move(completion)] { completion(ResponseDisposition::allow); });
    }
    void didReceiveData(const Session&, const DataTask& task, const core::Bytes& data) override {
        std::lock_guard lock(mutex_);
        auto& outcome = outcomes_[tasks_.at(task->taskIdentifier()).index];
        outcome.body.append(data.begin(), data.end());
        outcome.received += data.size();
        ++progress_;
    }
    void didCompleteWithError(const Session&, const Task& task, const std::optional<core::Error>& error) override {
        {
            std::lock_guard lock(mutex_);
            auto& outcome = outcomes_[tasks_.at(task->taskIdentifier()).index];
            ++outcome.completions;
            if (error) outcome.code = error->code;
            ++completed_;
            ++progress_;
        }
        changed_.notify_all();
    }

    // Waits until `count` tasks have completed in all (the watchdog ends a stalled run).
    void waitForCompletions(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return completed_ >= count; });
    }

    Outcome outcome(std::size_t index) {
        std::lock_guard lock(mutex_);
        return outcomes_.at(index);
    }
    // The outcome so far; the body is handed over and not kept.
    Outcome takeOutcome(std::size_t index) {
        std::lock_guard lock(mutex_);
        Outcome outcome = outcomes_.at(index);
        outcomes_[index].body.clear();
        outcomes_[index].body.shrink_to_fit();
        return outcome;
    }

private:
    struct Registered {
        std::size_t index = 0;
        bool deferAnswer = false;
        std::chrono::microseconds answerDelay{0};
    };

    void watch() {
        std::unique_lock lock(mutex_);
        while (!finished_) {
            const std::size_t seen = progress_;
            if (changed_.wait_for(lock, kStallSeconds, [&] { return finished_ || progress_ != seen; })) continue;
            if (completed_ == tasks_.size()) continue; // idle, nothing open
            // The open tasks, those stopped halfway through (a response delivered) first.
            std::ostringstream open;
            std::size_t count = 0, listed = 0;
            for (bool responded : {true, false}) {
                for (std::size_t i = 0; i < outcomes_.size(); ++i) {
                    const Outcome& o = outcomes_[i];
                    if (o.completions > 0 || o.identifier == 0 || o.responded != responded) continue;
                    ++count;
                    if (++listed > 50) continue;
                    open << "\n  #" << i << " task " << o.identifier << (o.responded ? ", response delivered" : ", no response")
                         << ", " << o.received << " bytes delivered," << o.plan;
                }
            }
            ADD_FAILURE() << context_ << ": nothing happened for " << kStallSeconds.count() << " s; " << count << " of "
                          << tasks_.size() << " requests have not ended:" << open.str();
            std::fflush(stdout);
            std::_Exit(1);
        }
    }

    const std::string context_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::unordered_map<std::uint64_t, Registered> tasks_;
    std::vector<Outcome> outcomes_;
    std::size_t completed_ = 0;
    std::size_t progress_ = 0; // events of any kind: tasks made, responses, data, completions
    bool finished_ = false;
    LateAnswers answers_;
    std::thread watchdog_;
};

std::string expectedBody(const std::string& path, bool large) {
    std::string body;
    for (std::size_t i = 0; i < (large ? kLargeRepeat : 1); ++i) body += path;
    return body;
}

class SessionStress : public ::testing::TestWithParam<int> {};

} // namespace

TEST_P(SessionStress, EveryRequestEndsOnceWhileCommandsArriveFromOtherThreads) {
    const int connections = GetParam();
    const int total = envOr("QUILLORA_STRESS_REQUESTS", kDefaultRequests);
    const auto seed = static_cast<std::uint32_t>(envOr("QUILLORA_STRESS_SEED", static_cast<int>(std::random_device{}() & 0x7fffffff)));
    SCOPED_TRACE("QUILLORA_STRESS_SEED=" + std::to_string(seed) + " connections per host " + std::to_string(connections));
    std::mt19937 random(seed);
    const auto chance = [&](double p) { return std::bernoulli_distribution(p)(random); };
    const auto uniform = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };

    LoopbackServer server([](const RecordedRequest& r) {
        Reply reply = Reply::text(200, r.target);
        if (r.target.rfind("/large/", 0) == 0) reply.repeat = kLargeRepeat;
        return reply;
    });
    auto configuration = URLSessionConfiguration::ephemeralConfiguration();
    configuration.httpMaximumConnectionsPerHost = connections;
    auto delegate = std::make_shared<StressDelegate>("QUILLORA_STRESS_SEED=" + std::to_string(seed) + ", " +
                                                     std::to_string(connections) + " connections per host");
    auto session = URLSession::create(configuration, delegate);

    std::vector<Plan> plans;
    std::vector<std::string> paths;
    std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
    std::size_t started = 0;
    int cancelled = 0;
    while (started < static_cast<std::size_t>(total)) {
        // A burst: its tasks made and planned, then resumed here while the commanders act.
        const std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(uniform(1, 400)), static_cast<std::size_t>(total) - started);
        const int window = static_cast<int>(size) * 40; // microseconds over which the commanders act
        std::vector<std::vector<std::size_t>> commands(kCommanders);
        for (std::size_t i = started; i < started + size; ++i) {
            Plan plan;
            plan.large = chance(0.1);
            plan.resumedByCommander = chance(0.15);
            plan.cancel = chance(0.05);
            plan.suspendAndResume = chance(0.2);
            plan.newPriority = chance(0.05);
            plan.deferAnswer = chance(0.2);
            plan.at = std::chrono::microseconds(uniform(0, window));
            plan.pause = std::chrono::microseconds(uniform(0, 500));
            paths.push_back((plan.large ? "/large/" : "/r/") + std::to_string(i));
            auto task = session->dataTask(URLRequest(URL::parse(server.url(paths.back()))));
            delegate->expect(task->taskIdentifier(), i, plan, std::chrono::microseconds(uniform(0, 2000)));
            if (plan.resumedByCommander || plan.cancel || plan.suspendAndResume || plan.newPriority) {
                commands[static_cast<std::size_t>(uniform(0, kCommanders - 1))].push_back(i);
            }
            plans.push_back(plan);
            tasks.push_back(std::move(task));
        }
        const auto burstStart = std::chrono::steady_clock::now();
        std::vector<std::thread> commanders;
        for (auto& mine : commands) {
            std::sort(mine.begin(), mine.end(), [&](std::size_t a, std::size_t b) { return plans[a].at < plans[b].at; });
            commanders.emplace_back([&, mine, priority = std::uniform_real_distribution<float>(0, 1)(random)] {
                for (std::size_t i : mine) {
                    const Plan& plan = plans[i];
                    std::this_thread::sleep_until(burstStart + plan.at);
                    if (plan.newPriority) tasks[i]->setPriority(priority);
                    if (plan.resumedByCommander) tasks[i]->resume();
                    if (plan.suspendAndResume) {
                        tasks[i]->suspend();
                        std::this_thread::sleep_for(plan.pause);
                        tasks[i]->resume();
                    }
                    if (plan.cancel) tasks[i]->cancel();
                }
            });
        }
        for (std::size_t i = started; i < started + size; ++i) {
            if (!plans[i].resumedByCommander) tasks[i]->resume();
        }
        for (auto& commander : commanders) commander.join();
        started += size;

        delegate->waitForCompletions(started);
        for (std::size_t i = started - size; i < started; ++i) {
            const Outcome outcome = delegate->takeOutcome(i);
            ASSERT_EQ(outcome.completions, 1) << "request #" << i << describe(plans[i]);
            if (outcome.code) {
                ASSERT_TRUE(plans[i].cancel) << "request #" << i << " failed with " << *outcome.code << describe(plans[i]);
                ASSERT_EQ(*outcome.code, static_cast<int>(URLErrorCode::cancelled)) << "request #" << i << describe(plans[i]);
                ++cancelled;
            } else {
                ASSERT_EQ(outcome.body, expectedBody(paths[i], plans[i].large)) << "request #" << i << describe(plans[i]);
            }
            tasks[i].reset();
        }
        if (chance(0.3)) std::this_thread::sleep_for(std::chrono::microseconds(uniform(0, 3000))); // let the thread go idle
    }

    for (std::size_t i = 0; i < plans.size(); ++i) {
        ASSERT_EQ(delegate->outcome(i).completions, 1) << "request #" << i << describe(plans[i]); // none came twice late
    }
    session->finishTasksAndInvalidate();
    RecordProperty("cancelled", cancelled);
}

INSTANTIATE_TEST_SUITE_P(ConnectionsPerHost, SessionStress, ::testing::Values(1, 2, 6));
