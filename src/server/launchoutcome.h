// The outcome of a server launch on a pool worker, handed over to the thread that spawned it.
#pragma once

#include "server/launch.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace quorvin {

// Pending until the worker reports that the server listens or that the launch ended with an
// error; a launch that listened can still end later (an accept failing for good). Shared between
// the spawner and the worker's callbacks, so either side may go first.
class LaunchOutcome : public std::enable_shared_from_this<LaunchOutcome> {
public:
    enum class State { Pending, Listening, Failed };

    // notify runs on the worker after every change of state, outside the lock. A window hands
    // in something that posts a message to itself: the worker must not touch a window object.
    static std::shared_ptr<LaunchOutcome> create(std::function<void()> notify = {});

    // A launch argument whose callbacks report to this outcome.
    LaunchArgument launchArgument(std::string folder, std::uint16_t listenPort = defaultListenPort);

    State state() const;
    // The error that ended the launch; null unless Failed.
    std::exception_ptr error() const;
    // The message of that error; empty unless Failed.
    std::string errorMessage() const;

    // Waits until the state is no longer Pending or the time is up; returns the state then.
    State waitFor(std::chrono::milliseconds timeout) const;
    // Waits without limit until the launch has ended, and returns its error.
    std::exception_ptr waitForEnd() const;

    void reportListening();
    void reportEnd(std::exception_ptr error);

private:
    explicit LaunchOutcome(std::function<void()> notify) : notify_(std::move(notify)) {}
    void change(State state, std::exception_ptr error);

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    State state_ = State::Pending;
    std::exception_ptr error_;
    std::string errorMessage_;
    std::function<void()> notify_;
};

// The error's own message; "unknown error" for one that is no exception.
std::string exceptionMessage(const std::exception_ptr& error);

// The message for a report; a system error also names its code, since some systems have no text
// for a code (Wine has none for the socket errors).
std::string launchErrorText(const std::exception_ptr& error);

} // namespace quorvin
