// The worker thread pool: long tasks run off the spawning thread, on workers that live for good.
#pragma once

#include "async/threadprims.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvin {

class ThreadPool;
struct Worker;

// A task receives its worker and the spawner's argument record. It copies what it needs out of the
// record, calls taskStartedNotify(worker) and only then does its work: the record belongs to the
// spawner and may vanish as soon as spawnTask returns.
using TaskFunction = void (*)(Worker* worker, void* argument);

// One pool slot.
struct Worker {
    Semaphore taskPosted; // signalled by the spawner once task and taskArg are set
    Semaphore argsTaken;  // signalled once the task has copied its arguments
    TaskFunction task = nullptr;
    void* taskArg = nullptr;
    std::atomic<bool> ready{false}; // idle and waiting for a task; the hand-off token
    ThreadPool* pool = nullptr;
    std::atomic<bool> argsTakenSignalled{false}; // argsTaken already signalled for this task
};

constexpr std::int32_t poolSizeMin = 4;
constexpr std::int32_t poolSizeMax = 256;
constexpr std::size_t workerStackSize = 0xFF000;

// The last CPU times a growth decision saw, and the number of decisions taken.
struct LoadSample {
    CpuTimes previous;
    std::int32_t decisions = 0;
};

enum class GrowthAdvice { NoChange, AddWorker };

// Decides from the CPU times since the previous decision whether the pool should grow: it should
// when this process used less than 85% of the time of all processors. `now` is null when the times
// could not be read, which gives no change and leaves the sample as it was.
GrowthAdvice adviseGrowth(LoadSample& sample, const CpuTimes* now);

class ThreadPool {
public:
    // Worker threads refer to their pool for ever, so a started pool is never destroyed.
    ThreadPool() = default;
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Starts min(processorCount, 256) workers (none for a negative count); called once. Raises
    // ResourceExhaustedError "cannot create thread".
    void start(int processorCount);

    // Hands the task to an idle worker, growing the pool when none is idle, and returns once the
    // task has called taskStartedNotify (or has ended without doing so).
    void spawnTask(TaskFunction task, void* argument);

    // The number of activated slots, including those whose task raised.
    std::int32_t size() const { return poolSize_.load(); }
    // Slot i, or null when it is not activated.
    Worker* slot(std::int32_t i) const;

private:
    static void workerMain(void* worker);
    void activate(std::int32_t i);
    Worker* claimIdleWorker(TaskFunction task, void* argument);
    Worker* claimNewWorker(TaskFunction task, void* argument);
    Worker* claimGrownWorker(TaskFunction task, void* argument);
    void runWorker(Worker& worker);

    std::array<std::unique_ptr<Worker>, poolSizeMax> slots_;
    std::atomic<std::int32_t> poolSize_{0};
    std::atomic<Worker*> lastReadyWorker_{nullptr};
    Semaphore someWorkerReady_;
    Lock adviceLock_; // serialises growth decisions; only ever tried
    LoadSample loadSample_;
    std::atomic<std::int32_t> decisions_{0};     // loadSample_.decisions, readable without the lock
    std::atomic<std::int32_t> growthSkipped_{0}; // spawners that found adviceLock_ taken
};

// Starts the process's pool, sized by the processor count; called once at program start.
void startThreadPool();

// The process's pool (started on first use if startThreadPool was not called).
ThreadPool& processThreadPool();

// spawnTask on the process's pool.
void spawnTask(TaskFunction task, void* argument);

// Tells the spawner that the task has copied its arguments. Every task calls it once, right after
// copying them; further calls for the same task do nothing.
void taskStartedNotify(Worker* worker);

} // namespace quorvin
