// The worker pool and its primitives: semaphore counting, growth advice, start-up size, the
// hand-off rendezvous, growth when no worker is idle, and tasks that raise.
#include "async/threadpool.h"

#include "runtime/errors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace quorvin;
using namespace std::chrono_literals;

namespace {

constexpr auto patience = 10s; // upper bound of every wait; a passing run takes milliseconds

// A one-way gate with a bounded wait.
class Gate {
public:
    void open() {
        std::lock_guard guard(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitOpen(std::chrono::milliseconds limit = patience) {
        std::unique_lock guard(mutex_);
        return changed_.wait_for(guard, limit, [this] { return open_; });
    }
    bool isOpen() {
        std::lock_guard guard(mutex_);
        return open_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

bool eventually(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + patience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// What a test and its task share. Tasks hold it too: a worker may outlive a failed test.
struct Probe {
    Gate started;
    Gate release;
    Gate finished;
    std::atomic<Worker*> worker{nullptr};
    std::atomic<bool> notified{false};
    std::string copied; // written before `finished` opens
};

struct TaskArgs {
    std::shared_ptr<Probe> probe;
    std::string text;
};

// Copies the arguments, tells the spawner, then runs until released.
void longTask(Worker* worker, void* raw) {
    TaskArgs args = *static_cast<TaskArgs*>(raw);
    taskStartedNotify(worker);
    args.probe->worker = worker;
    args.probe->started.open();
    args.probe->release.waitOpen();
    args.probe->copied = args.text;
    args.probe->finished.open();
}

// Takes its time before telling the spawner, so a spawner that does not wait returns first.
void slowStartTask(Worker* worker, void* raw) {
    TaskArgs args = *static_cast<TaskArgs*>(raw);
    std::this_thread::sleep_for(50ms);
    args.probe->notified = true;
    taskStartedNotify(worker);
    args.probe->worker = worker;
    args.probe->release.waitOpen();
    args.probe->copied = args.text;
    args.probe->finished.open();
}

void raisingTask(Worker* worker, void* raw) {
    TaskArgs args = *static_cast<TaskArgs*>(raw);
    taskStartedNotify(worker);
    args.probe->worker = worker;
    args.probe->finished.open();
    throw ValueError("task failed");
}

void raisingBeforeNotifyTask(Worker* worker, void* raw) {
    static_cast<TaskArgs*>(raw)->probe->worker = worker;
    throw ValueError("task failed before taking its arguments");
}

void silentTask(Worker* worker, void* raw) {
    static_cast<TaskArgs*>(raw)->probe->worker = worker;
}

void notifyTwiceTask(Worker* worker, void* raw) {
    TaskArgs args = *static_cast<TaskArgs*>(raw);
    taskStartedNotify(worker);
    taskStartedNotify(worker);
    args.probe->worker = worker;
    args.probe->finished.open();
}

bool allReady(ThreadPool& pool) {
    for (std::int32_t i = 0; i < pool.size(); ++i) {
        if (!pool.slot(i)->ready) {
            return false;
        }
    }
    return true;
}

// A started pool whose workers are all waiting for tasks, kept for the rest of the process as its
// workers never end.
ThreadPool& newPool(int processorCount) {
    static auto* kept = new std::vector<ThreadPool*>;
    auto* pool = new ThreadPool;
    kept->push_back(pool);
    pool->start(processorCount);
    EXPECT_TRUE(eventually([&] { return allReady(*pool); }));
    return *pool;
}

void spawn(ThreadPool& pool, TaskFunction task, const std::shared_ptr<Probe>& probe,
           std::string text = {}) {
    TaskArgs args{probe, std::move(text)};
    pool.spawnTask(task, &args);
}

// Spawns from another thread; false when spawnTask has not returned in time (that thread is then
// left behind, holding everything it uses).
bool spawnReturns(ThreadPool& pool, TaskFunction task, const std::shared_ptr<Probe>& probe) {
    auto returned = std::make_shared<Gate>();
    std::thread([&pool, task, probe, returned] {
        spawn(pool, task, probe);
        returned->open();
    }).detach();
    return returned->waitOpen();
}

} // namespace

// --- primitives -----------------------------------------------------------------------------

// Runs `waiters` threads that each wait once, signalling before or after they block; true when
// every waiter got through.
bool everyWaiterPasses(int waiters, bool signalFirst) {
    Semaphore semaphore;
    std::atomic<int> passed{0};
    if (signalFirst) {
        for (int i = 0; i < waiters; ++i) {
            semaphore.signal();
        }
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < waiters; ++i) {
        threads.emplace_back([&] {
            semaphore.wait();
            ++passed;
        });
    }
    bool early = false;
    if (!signalFirst) {
        std::this_thread::sleep_for(5ms);
        early = passed.load() != 0;
        for (int i = 0; i < waiters; ++i) {
            semaphore.signal();
        }
    }
    bool all = eventually([&] { return passed.load() == waiters; });
    while (passed.load() < waiters) {
        semaphore.signal(); // frees the stragglers of a failed run so that they can be joined
        std::this_thread::sleep_for(1ms);
    }
    for (auto& thread : threads) {
        thread.join();
    }
    return all && !early;
}

TEST(Semaphore, EverySignalPassesOneWaiter) {
    const struct {
        const char* name;
        int waiters;
        bool signalFirst;
        int rounds;
    } cases[] = {
        {"one blocked waiter", 1, false, 1},
        // Signals in a burst reach the event before the woken waiters run again.
        {"several blocked waiters", 6, false, 20},
        {"signals given before anyone waits", 4, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int round = 0; round < c.rounds; ++round) {
            if (!everyWaiterPasses(c.waiters, c.signalFirst)) {
                ADD_FAILURE() << "round " << round;
                break;
            }
        }
    }
}

TEST(Lock, TryEnterFailsWhileAnotherThreadHoldsIt) {
    Lock lock;
    lock.enter();
    bool takenMeanwhile = true;
    std::thread([&] { takenMeanwhile = lock.tryEnter(); }).join();
    lock.leave();
    bool takenAfter = false;
    std::thread([&] {
        takenAfter = lock.tryEnter();
        if (takenAfter) {
            lock.leave();
        }
    }).join();
    EXPECT_FALSE(takenMeanwhile);
    EXPECT_TRUE(takenAfter);
}

TEST(Platform, CpuTimesAndProcessorCount) {
    EXPECT_GE(processorCount(), 1);
    CpuTimes first, second;
    ASSERT_TRUE(readCpuTimes(first));
    volatile std::uint64_t spin = 0;
    auto until = std::chrono::steady_clock::now() + 30ms;
    while (std::chrono::steady_clock::now() < until) {
        spin = spin + 1;
    }
    ASSERT_TRUE(readCpuTimes(second));
    EXPECT_GT(second.systemKernel + second.systemUser, first.systemKernel + first.systemUser);
    EXPECT_GT(second.processKernel + second.processUser, first.processKernel + first.processUser);
    // This process cannot have used more than all processors together.
    EXPECT_LE(second.processKernel + second.processUser, second.systemKernel + second.systemUser);
}

// --- growth advice --------------------------------------------------------------------------

TEST(AdviseGrowth, DecidesFromTheShareOfThisProcess) {
    struct Case {
        const char* name;
        std::int32_t decisions;
        CpuTimes previous;
        bool readable;
        CpuTimes now;
        GrowthAdvice advice;
        std::int32_t decisionsAfter;
    };
    const CpuTimes zero{};
    const std::int32_t limit = std::numeric_limits<std::int32_t>::max();
    const Case cases[] = {
        {"first decision only takes a sample",
         0,
         zero,
         true,
         {1000, 1000, 0, 0},
         GrowthAdvice::NoChange,
         1},
        {"unreadable times change nothing",
         3,
         zero,
         false,
         {1000, 1000, 0, 0},
         GrowthAdvice::NoChange,
         3},
        {"no time passed", 1, {50, 50, 5, 5}, true, {50, 50, 5, 5}, GrowthAdvice::AddWorker, 2},
        {"mostly other work", 1, zero, true, {1000, 1000, 100, 100}, GrowthAdvice::AddWorker, 2},
        {"just below 85%", 2, zero, true, {1000, 1000, 1000, 699}, GrowthAdvice::AddWorker, 3},
        {"exactly 85%", 2, zero, true, {1000, 1000, 1000, 700}, GrowthAdvice::NoChange, 3},
        {"this process is the load",
         2,
         zero,
         true,
         {1000, 1000, 900, 1000},
         GrowthAdvice::NoChange,
         3},
        {"a counter that went back counts as no time",
         1,
         {5000, 1000, 0, 0},
         true,
         {4000, 2000, 500, 450},
         GrowthAdvice::NoChange,
         2},
        {"count past its range keeps deciding",
         limit,
         zero,
         true,
         {10, 10, 0, 0},
         GrowthAdvice::AddWorker,
         poolSizeMax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoadSample sample{c.previous, c.decisions};
        EXPECT_EQ(adviseGrowth(sample, c.readable ? &c.now : nullptr), c.advice);
        EXPECT_EQ(sample.decisions, c.decisionsAfter);
        const CpuTimes& kept = c.readable ? c.now : c.previous;
        EXPECT_EQ(sample.previous.systemKernel, kept.systemKernel);
        EXPECT_EQ(sample.previous.processUser, kept.processUser);
    }
}

// --- the pool -------------------------------------------------------------------------------

TEST(ThreadPool, StartsOneWorkerPerProcessorUpTo256) {
    const struct {
        int processors;
        std::int32_t workers;
    } cases[] = {{8, 8}, {300, 256}, {0, 0}, {-2, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.processors);
        ThreadPool& pool = newPool(c.processors);
        EXPECT_EQ(pool.size(), c.workers);
        if (c.workers > 0) {
            EXPECT_NE(pool.slot(c.workers - 1), nullptr);
        }
        EXPECT_EQ(pool.slot(c.workers), nullptr);
    }
}

TEST(ThreadPool, SpawnReturnsOnlyOnceTheTaskHasCopiedItsArguments) {
    ThreadPool& pool = newPool(2);
    auto probe = std::make_shared<Probe>();
    {
        std::string folder = "/srv/site with spaces/\xC3\xBC";
        TaskArgs args{probe, folder};
        pool.spawnTask(slowStartTask, &args);
        EXPECT_TRUE(probe->notified) << "spawnTask returned before taskStartedNotify";
        // The record is the spawner's again: change it before it goes out of scope.
        args.text.assign(64, 'x');
    }
    probe->release.open();
    ASSERT_TRUE(probe->finished.waitOpen());
    EXPECT_EQ(probe->copied, "/srv/site with spaces/\xC3\xBC");
}

TEST(ThreadPool, LongTasksRunAtTheSameTimeOnDifferentWorkers) {
    // One processor: the second task finds no idle worker and the pool grows, as it always does
    // below four workers.
    ThreadPool& pool = newPool(1);
    auto first = std::make_shared<Probe>();
    auto second = std::make_shared<Probe>();
    spawn(pool, longTask, first);
    ASSERT_TRUE(first->started.waitOpen());
    spawn(pool, longTask, second);
    ASSERT_TRUE(second->started.waitOpen());
    EXPECT_FALSE(first->finished.isOpen());
    EXPECT_NE(first->worker.load(), second->worker.load());
    EXPECT_GE(pool.size(), 2);
    first->release.open();
    second->release.open();
    EXPECT_TRUE(first->finished.waitOpen());
    EXPECT_TRUE(second->finished.waitOpen());
}

TEST(ThreadPool, AFinishedTaskLeavesItsWorkerReadyForTheNext) {
    ThreadPool& pool = newPool(1);
    std::set<Worker*> used;
    for (int i = 0; i < 20; ++i) {
        auto probe = std::make_shared<Probe>();
        spawn(pool, longTask, probe);
        probe->release.open();
        ASSERT_TRUE(probe->finished.waitOpen());
        used.insert(probe->worker.load());
        ASSERT_TRUE(eventually([&] { return allReady(pool); }));
    }
    // Each spawn found an idle worker, so the pool had no reason to grow.
    EXPECT_EQ(pool.size(), 1);
    EXPECT_EQ(used.size(), 1u);
}

TEST(ThreadPool, ARaisingTaskEndsOnlyItsThread) {
    ThreadPool& pool = newPool(1);
    auto failing = std::make_shared<Probe>();
    spawn(pool, raisingTask, failing);
    ASSERT_TRUE(failing->finished.waitOpen());
    Worker* dead = failing->worker.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(dead->ready) << "the worker whose task raised became ready again";

    std::vector<std::shared_ptr<Probe>> later;
    for (int i = 0; i < 3; ++i) {
        later.push_back(std::make_shared<Probe>());
        spawn(pool, longTask, later.back(), "later " + std::to_string(i));
        ASSERT_TRUE(later.back()->started.waitOpen());
    }
    for (int i = 0; i < 3; ++i) {
        later[i]->release.open();
        ASSERT_TRUE(later[i]->finished.waitOpen());
        EXPECT_EQ(later[i]->copied, "later " + std::to_string(i));
        EXPECT_NE(later[i]->worker.load(), dead);
    }
    EXPECT_EQ(pool.slot(0), dead) << "the dead slot stays counted";
    EXPECT_GE(pool.size(), 4);
}

TEST(ThreadPool, ATaskThatEndsWithoutNotifyingStillReleasesTheSpawner) {
    ThreadPool& pool = newPool(1);
    auto raised = std::make_shared<Probe>();
    EXPECT_TRUE(spawnReturns(pool, raisingBeforeNotifyTask, raised));

    auto returned = std::make_shared<Probe>();
    EXPECT_TRUE(spawnReturns(pool, silentTask, returned));
    // The worker of a task that returned normally is used again.
    Worker* worker = returned->worker.load();
    ASSERT_NE(worker, nullptr);
    EXPECT_TRUE(eventually([&] { return worker->ready.load(); }));
}

TEST(ThreadPool, ASecondNotifyDoesNotReleaseTheNextSpawnEarly) {
    ThreadPool& pool = newPool(1);
    auto twice = std::make_shared<Probe>();
    spawn(pool, notifyTwiceTask, twice);
    ASSERT_TRUE(twice->finished.waitOpen());
    ASSERT_TRUE(eventually([&] { return pool.slot(0)->ready.load(); }));

    auto next = std::make_shared<Probe>();
    spawn(pool, slowStartTask, next);
    EXPECT_TRUE(next->notified) << "spawnTask returned before the next task took its arguments";
    next->release.open();
    ASSERT_TRUE(next->finished.waitOpen());
    EXPECT_EQ(next->worker.load(), pool.slot(0));
}

// Several threads spawn long tasks at once on an empty pool; true when each got its own worker.
bool concurrentSpawnersEachGetAWorker(int spawners) {
    ThreadPool& pool = newPool(0);
    std::vector<std::shared_ptr<Probe>> probes;
    for (int i = 0; i < spawners; ++i) {
        probes.push_back(std::make_shared<Probe>());
    }
    std::atomic<int> returned{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < spawners; ++i) {
        threads.emplace_back([&, i] {
            spawn(pool, longTask, probes[i]);
            ++returned;
        });
    }
    bool allReturned = eventually([&] { return returned.load() == spawners; });
    std::set<Worker*> workers;
    for (auto& probe : probes) {
        workers.insert(allReturned && probe->started.waitOpen() ? probe->worker.load() : nullptr);
    }
    for (auto& probe : probes) {
        probe->release.open(); // also frees workers for spawners that are still waiting
    }
    for (auto& thread : threads) {
        thread.join();
    }
    return allReturned && workers.size() == static_cast<std::size_t>(spawners) &&
           !workers.contains(nullptr);
}

TEST(ThreadPool, ConcurrentSpawnersEachGetAWorker) {
    // A spawner that finds another one deciding on growth must not be left waiting when that
    // decision gives it nothing; the interleaving is a matter of timing, hence the rounds.
    for (int round = 0; round < 10; ++round) {
        if (!concurrentSpawnersEachGetAWorker(3)) {
            ADD_FAILURE() << "round " << round;
            break;
        }
    }
}

TEST(ThreadPool, RefusesANullTask) {
    ThreadPool& pool = newPool(1);
    EXPECT_THROW(pool.spawnTask(nullptr, nullptr), AssertionError);
    EXPECT_THROW(taskStartedNotify(nullptr), AssertionError);
}

TEST(ProcessPool, IsSizedByTheProcessorsAndRunsTasks) {
    startThreadPool();
    ThreadPool& pool = processThreadPool();
    EXPECT_EQ(&pool, &processThreadPool());
    EXPECT_EQ(pool.size(), std::min(processorCount(), 256));
    auto probe = std::make_shared<Probe>();
    TaskArgs args{probe, "C:\\Sites\\Quorvin"};
    spawnTask(longTask, &args);
    probe->release.open();
    ASSERT_TRUE(probe->finished.waitOpen());
    EXPECT_EQ(probe->copied, "C:\\Sites\\Quorvin");
}
