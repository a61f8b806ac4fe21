// The thread primitives on Windows: critical sections, events, CreateThread and the CPU time calls.
#include "async/threadprims.h"

#include "runtime/errors.h"

#include <windows.h>

namespace quorvin {

struct Lock::Impl {
    CRITICAL_SECTION section;
};

Lock::Lock() : impl_(std::make_unique<Impl>()) {
    InitializeCriticalSection(&impl_->section);
}

Lock::~Lock() {
    DeleteCriticalSection(&impl_->section);
}

void Lock::enter() {
    EnterCriticalSection(&impl_->section);
}

bool Lock::tryEnter() {
    return TryEnterCriticalSection(&impl_->section) != 0;
}

void Lock::leave() {
    LeaveCriticalSection(&impl_->section);
}

struct Event::Impl {
    HANDLE handle = nullptr;
};

Event::Event() : impl_(std::make_unique<Impl>()) {
    impl_->handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (impl_->handle == nullptr) {
        throw lastOsError();
    }
}

Event::~Event() {
    CloseHandle(impl_->handle);
}

void Event::set() {
    SetEvent(impl_->handle);
}

void Event::wait() {
    WaitForSingleObject(impl_->handle, INFINITE);
}

namespace {

struct ThreadStart {
    ThreadEntry entry;
    void* argument;
};

DWORD WINAPI runThread(LPVOID raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.entry(start.argument);
    return 0;
}

std::uint64_t toUnits(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

bool startThread(ThreadEntry entry, void* argument, std::size_t stackSize) {
    auto* start = new ThreadStart{entry, argument};
    // The size is what the thread reserves for its stack, not only its first commit.
    HANDLE thread = CreateThread(nullptr, stackSize, runThread, start,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        delete start;
        return false;
    }
    CloseHandle(thread);
    return true;
}

bool readCpuTimes(CpuTimes& times) {
    FILETIME idle, kernel, user;
    if (!GetSystemTimes(&idle, &kernel, &user)) {
        return false;
    }
    FILETIME creation, exit, processKernel, processUser;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &processKernel, &processUser)) {
        return false;
    }
    times.systemKernel = toUnits(kernel);
    times.systemUser = toUnits(user);
    times.processKernel = toUnits(processKernel);
    times.processUser = toUnits(processUser);
    return true;
}

int processorCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    DWORD count = info.dwNumberOfProcessors;
    return count > 1'000'000 ? 1'000'000 : static_cast<int>(count);
}

} // namespace quorvin
