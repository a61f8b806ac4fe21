// The thread primitives on POSIX: pthread mutexes and condition variables, /proc/stat and
// getrusage.
#include "async/threadprims.h"

#include "runtime/errors.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

namespace quorvin {

namespace {

void check(int result) {
    if (result != 0) {
        throw OSError(result);
    }
}

} // namespace

struct Lock::Impl {
    pthread_mutex_t mutex;
};

Lock::Lock() : impl_(std::make_unique<Impl>()) {
    check(pthread_mutex_init(&impl_->mutex, nullptr));
}

Lock::~Lock() {
    pthread_mutex_destroy(&impl_->mutex);
}

void Lock::enter() {
    pthread_mutex_lock(&impl_->mutex);
}

bool Lock::tryEnter() {
    return pthread_mutex_trylock(&impl_->mutex) == 0;
}

void Lock::leave() {
    pthread_mutex_unlock(&impl_->mutex);
}

struct Event::Impl {
    pthread_mutex_t mutex;
    pthread_cond_t changed;
    bool signalled = false;
};

Event::Event() : impl_(std::make_unique<Impl>()) {
    check(pthread_mutex_init(&impl_->mutex, nullptr));
    int result = pthread_cond_init(&impl_->changed, nullptr);
    if (result != 0) {
        pthread_mutex_destroy(&impl_->mutex);
        throw OSError(result);
    }
}

Event::~Event() {
    pthread_cond_destroy(&impl_->changed);
    pthread_mutex_destroy(&impl_->mutex);
}

void Event::set() {
    pthread_mutex_lock(&impl_->mutex);
    impl_->signalled = true;
    pthread_cond_signal(&impl_->changed);
    pthread_mutex_unlock(&impl_->mutex);
}

void Event::wait() {
    pthread_mutex_lock(&impl_->mutex);
    while (!impl_->signalled) {
        pthread_cond_wait(&impl_->changed, &impl_->mutex);
    }
    impl_->signalled = false;
    pthread_mutex_unlock(&impl_->mutex);
}

namespace {

struct ThreadStart {
    ThreadEntry entry;
    void* argument;
};

extern "C" void* runThread(void* raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.entry(start.argument);
    return nullptr;
}

} // namespace

bool startThread(ThreadEntry entry, void* argument, std::size_t stackSize) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        return false;
    }
    bool ok = pthread_attr_setstacksize(&attributes, stackSize) == 0 &&
              pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0;
    if (ok) {
        auto* start = new ThreadStart{entry, argument};
        pthread_t thread;
        ok = pthread_create(&thread, &attributes, runThread, start) == 0;
        if (!ok) {
            delete start;
        }
    }
    pthread_attr_destroy(&attributes);
    return ok;
}

namespace {

// The first line of /proc/stat holds the clock ticks of all processors together.
bool readSystemTimes(CpuTimes& times) {
    std::FILE* stat = std::fopen("/proc/stat", "r");
    if (stat == nullptr) {
        return false;
    }
    unsigned long long user = 0, nice = 0, system = 0, idle = 0;
    unsigned long long iowait = 0, irq = 0, softirq = 0, steal = 0;
    int fields = std::fscanf(stat, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &user, &nice,
                             &system, &idle, &iowait, &irq, &softirq, &steal);
    std::fclose(stat);
    long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (fields < 4 || ticksPerSecond <= 0) {
        return false;
    }
    std::uint64_t unitsPerTick = 10'000'000 / static_cast<std::uint64_t>(ticksPerSecond);
    times.systemKernel = (system + idle + iowait + irq + softirq + steal) * unitsPerTick;
    times.systemUser = (user + nice) * unitsPerTick;
    return true;
}

std::uint64_t toUnits(const timeval& time) {
    return static_cast<std::uint64_t>(time.tv_sec) * 10'000'000 +
           static_cast<std::uint64_t>(time.tv_usec) * 10;
}

} // namespace

bool readCpuTimes(CpuTimes& times) {
    CpuTimes read;
    rusage usage{};
    if (!readSystemTimes(read) || getrusage(RUSAGE_SELF, &usage) != 0) {
        return false;
    }
    read.processKernel = toUnits(usage.ru_stime);
    read.processUser = toUnits(usage.ru_utime);
    times = read;
    return true;
}

int processorCount() {
    long count = sysconf(_SC_NPROCESSORS_ONLN);
    if (count < 0) {
        return 0;
    }
    return count > 1'000'000 ? 1'000'000 : static_cast<int>(count);
}

} // namespace quorvin
