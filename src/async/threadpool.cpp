// The worker pool's logic: start-up, the worker loop, the hand-off to an idle worker and growth.
#include "async/threadpool.h"

#include "runtime/errors.h"

#include <algorithm>
#include <limits>

namespace quorvin {

namespace {

// Time between two readings of a counter; a counter that went backwards counts as no time.
std::int64_t elapsed(std::uint64_t before, std::uint64_t after) {
    return after > before ? static_cast<std::int64_t>(after - before) : 0;
}

// Takes the worker if it is idle: only one of several spawners wins its `ready` token. The task is
// posted at once; the caller then waits for the task to take its arguments.
bool claim(Worker& worker, TaskFunction task, void* argument) {
    bool idle = true;
    if (!worker.ready.compare_exchange_strong(idle, false)) {
        return false;
    }
    worker.task = task;
    worker.taskArg = argument;
    worker.argsTakenSignalled.store(false);
    worker.taskPosted.signal();
    return true;
}

} // namespace

GrowthAdvice adviseGrowth(LoadSample& sample, const CpuTimes* now) {
    if (now == nullptr) {
        return GrowthAdvice::NoChange;
    }
    GrowthAdvice advice = GrowthAdvice::NoChange;
    if (sample.decisions > 0) {
        const CpuTimes& before = sample.previous;
        std::int64_t systemTotal = elapsed(before.systemKernel, now->systemKernel) +
                                   elapsed(before.systemUser, now->systemUser);
        std::int64_t processTotal = elapsed(before.processKernel, now->processKernel) +
                                    elapsed(before.processUser, now->processUser);
        if (systemTotal == 0 ||
            static_cast<double>(processTotal) / static_cast<double>(systemTotal) < 0.85) {
            advice = GrowthAdvice::AddWorker;
        }
    }
    sample.previous = *now;
    // The count only gates how often decisions are taken; past its range it starts again at a
    // value that keeps taking one decision in 128.
    bool atLimit = sample.decisions == std::numeric_limits<std::int32_t>::max();
    sample.decisions = atLimit ? poolSizeMax : sample.decisions + 1;
    return advice;
}

void ThreadPool::start(int processorCount) {
    std::int32_t count = std::clamp(processorCount, 0, poolSizeMax);
    for (std::int32_t i = poolSize_.load(); i < count; ++i) {
        activate(i);
        poolSize_.fetch_add(1);
    }
    lastReadyWorker_.store(slots_[0].get());
}

Worker* ThreadPool::slot(std::int32_t i) const {
    return i >= 0 && i < poolSizeMax ? slots_[i].get() : nullptr;
}

void ThreadPool::activate(std::int32_t i) {
    assertCondition(i >= 0 && i < poolSizeMax, "i < poolSizeMax");
    auto worker = std::make_unique<Worker>();
    worker->pool = this;
    if (!startThread(&ThreadPool::workerMain, worker.get(), workerStackSize)) {
        // The slot stays not activated, so a later growth tries it again.
        throw ResourceExhaustedError("cannot create thread");
    }
    slots_[i] = std::move(worker);
}

void ThreadPool::workerMain(void* worker) {
    auto* self = static_cast<Worker*>(worker);
    self->pool->runWorker(*self);
}

void ThreadPool::runWorker(Worker& worker) {
    for (;;) {
        worker.ready.store(true);
        lastReadyWorker_.store(&worker);
        someWorkerReady_.signal();
        worker.taskPosted.wait();
        assertCondition(!worker.ready.load(), "not w.ready");
        bool raised = false;
        try {
            worker.task(&worker, worker.taskArg);
        } catch (...) {
            raised = true;
        }
        // A task that ended before telling its spawner would leave the spawner waiting for ever.
        taskStartedNotify(&worker);
        if (raised) {
            // An exception ends this thread silently; with `ready` left false the slot is never
            // chosen again.
            return;
        }
    }
}

Worker* ThreadPool::claimIdleWorker(TaskFunction task, void* argument) {
    Worker* last = lastReadyWorker_.load();
    if (last != nullptr && claim(*last, task, argument)) {
        return last;
    }
    std::int32_t size = poolSize_.load();
    for (std::int32_t i = 0; i < size; ++i) {
        Worker* worker = slots_[i].get();
        if (worker != nullptr && claim(*worker, task, argument)) {
            return worker;
        }
    }
    return nullptr;
}

// Activates the next slot and tries to take it; a thread that has not yet become ready is not
// taken and is found by a later search. Called with adviceLock_ held.
Worker* ThreadPool::claimNewWorker(TaskFunction task, void* argument) {
    std::int32_t i = poolSize_.load();
    if (!slots_[i]) {
        activate(i);
    }
    poolSize_.fetch_add(1);
    Worker* worker = slots_[i].get();
    return claim(*worker, task, argument) ? worker : nullptr;
}

Worker* ThreadPool::claimGrownWorker(TaskFunction task, void* argument) {
    std::int32_t decisions = decisions_.load();
    if (!(decisions < poolSizeMax || decisions % 128 == 0)) {
        return nullptr;
    }
    if (!adviceLock_.tryEnter()) {
        // Another spawner is deciding. Its decision may give this spawner nothing, so this
        // spawner must search and decide again rather than wait for a ready signal that may
        // never come: it counts itself for the holder to wake, then tries once more in case the
        // holder has just left.
        growthSkipped_.fetch_add(1);
        if (!adviceLock_.tryEnter()) {
            return nullptr;
        }
        // Taken after all: the count stays, and at worst wakes some spawner for nothing.
    }
    // Leaves adviceLock_, also on an exception, and wakes the spawners that skipped growth
    // meanwhile.
    struct Turn {
        ThreadPool& pool;
        ~Turn() {
            pool.adviceLock_.leave();
            for (std::int32_t n = pool.growthSkipped_.exchange(0); n > 0; --n) {
                pool.someWorkerReady_.signal();
            }
        }
    } turn{*this};
    if (poolSize_.load() < poolSizeMin) {
        if (Worker* worker = claimNewWorker(task, argument)) {
            return worker;
        }
    }
    CpuTimes now;
    GrowthAdvice advice = adviseGrowth(loadSample_, readCpuTimes(now) ? &now : nullptr);
    decisions_.store(loadSample_.decisions);
    if (advice == GrowthAdvice::AddWorker && poolSize_.load() < poolSizeMax) {
        return claimNewWorker(task, argument);
    }
    return nullptr;
}

void ThreadPool::spawnTask(TaskFunction task, void* argument) {
    assertCondition(task != nullptr, "task != nil", "spawnTask needs a task");
    for (;;) {
        Worker* worker = claimIdleWorker(task, argument);
        if (worker == nullptr) {
            worker = claimGrownWorker(task, argument);
        }
        if (worker != nullptr) {
            // adviceLock_ is released by now, so a slow task does not hold up growth elsewhere.
            worker->argsTaken.wait();
            return;
        }
        someWorkerReady_.wait();
    }
}

void startThreadPool() {
    processThreadPool();
}

ThreadPool& processThreadPool() {
    // Never destroyed: its worker threads use it until the process ends.
    static ThreadPool* pool = [] {
        auto* created = new ThreadPool;
        created->start(processorCount());
        return created;
    }();
    return *pool;
}

void spawnTask(TaskFunction task, void* argument) {
    processThreadPool().spawnTask(task, argument);
}

void taskStartedNotify(Worker* worker) {
    assertCondition(worker != nullptr, "worker != nil");
    // A second call must not count for the worker's next task, whose spawner would then return
    // before that task had copied its arguments.
    if (!worker->argsTakenSignalled.exchange(true)) {
        worker->argsTaken.signal();
    }
}

} // namespace quorvin
