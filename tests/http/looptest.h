// Running the current thread's event loop until a future finishes, within a time limit.
#pragma once

#include "async/asyncdispatch.h"
#include "async/asyncfutures.h"

#include <gtest/gtest.h>

#include <chrono>

namespace quorvin::testing {

// Steps the loop until the future has finished or the time is up; true when it finished.
template <class T>
bool runUntilFinished(const Future<T>& future, int timeoutMs = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!future.finished() && std::chrono::steady_clock::now() < deadline) {
        runOnce(10);
    }
    return future.finished();
}

// The future's value once it has finished; raises its error, or fails the test on a time-out.
template <class T>
T awaitResult(const Future<T>& future, int timeoutMs = 3000) {
    if (!runUntilFinished(future, timeoutMs)) {
        ADD_FAILURE() << "future " << future.name() << " did not finish in time";
    }
    return future.read();
}

} // namespace quorvin::testing
