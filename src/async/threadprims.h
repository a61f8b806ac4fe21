// The thread primitives under the worker pool: lock, auto-reset event, counting semaphore, thread
// start, CPU times and processor count. Each platform implements them in its own sibling file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvin {

// A mutual-exclusion lock that can also be tried without waiting.
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void enter();
    // Takes the lock only if no other thread holds it; true when taken.
    bool tryEnter();
    void leave();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// An auto-reset event, created non-signalled: `set` wakes one waiter, or the next one to wait.
// Several `set` calls without a waiter in between count as one.
class Event {
public:
    Event();
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    // Blocks without time limit until the event is set, then resets it.
    void wait();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A counting semaphore over an event and a lock; every signal is kept until a wait consumes it.
class Semaphore {
public:
    void signal();
    // Blocks without time limit until a signal is available and consumes it.
    void wait();

private:
    Event event_;
    Lock lock_;
    std::int32_t counter_ = 0;
};

using ThreadEntry = void (*)(void* argument);

// Starts a detached thread running entry(argument) on a stack of `stackSize` bytes.
// False when the system cannot create the thread.
bool startThread(ThreadEntry entry, void* argument, std::size_t stackSize);

// CPU times in 100 ns units. The system's kernel time includes its idle time, so kernel plus user
// is all the time of all processors.
struct CpuTimes {
    std::uint64_t systemKernel = 0;
    std::uint64_t systemUser = 0;
    std::uint64_t processKernel = 0;
    std::uint64_t processUser = 0;
};

// The current system and process CPU times; false when either cannot be read.
bool readCpuTimes(CpuTimes& times);

// The number of processors the system reports, never below 0.
int processorCount();

} // namespace quorvin
