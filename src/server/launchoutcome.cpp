// The launch outcome: state changes under a lock, waits, and the worker's notification.
#include "server/launchoutcome.h"

#include "runtime/errors.h"

#include <utility>

namespace quorvin {

std::shared_ptr<LaunchOutcome> LaunchOutcome::create(std::function<void()> notify) {
    return std::shared_ptr<LaunchOutcome>(new LaunchOutcome(std::move(notify)));
}

LaunchArgument LaunchOutcome::launchArgument(std::string folder, std::uint16_t listenPort) {
    LaunchArgument launch;
    launch.folder = std::move(folder);
    launch.listenPort = listenPort;
    // The worker's callbacks keep the outcome alive: the launch may outlive the spawner's interest.
    std::shared_ptr<LaunchOutcome> self = shared_from_this();
    launch.onListening = [self] { self->reportListening(); };
    launch.onEnd = [self](std::exception_ptr error) { self->reportEnd(std::move(error)); };
    return launch;
}

LaunchOutcome::State LaunchOutcome::state() const {
    std::lock_guard<std::mutex> hold(lock_);
    return state_;
}

std::exception_ptr LaunchOutcome::error() const {
    std::lock_guard<std::mutex> hold(lock_);
    return error_;
}

std::string LaunchOutcome::errorMessage() const {
    std::lock_guard<std::mutex> hold(lock_);
    return errorMessage_;
}

LaunchOutcome::State LaunchOutcome::waitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait_for(hold, timeout, [this] { return state_ != State::Pending; });
    return state_;
}

std::exception_ptr LaunchOutcome::waitForEnd() const {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return state_ == State::Failed; });
    return error_;
}

void LaunchOutcome::reportListening() {
    change(State::Listening, nullptr);
}

void LaunchOutcome::reportEnd(std::exception_ptr error) {
    change(State::Failed, std::move(error));
}

void LaunchOutcome::change(State state, std::exception_ptr error) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        // An end is final: a late report of listening must not hide it.
        if (state_ == State::Failed) {
            return;
        }
        state_ = state;
        if (state == State::Failed) {
            errorMessage_ = exceptionMessage(error);
            error_ = std::move(error);
        }
    }
    changed_.notify_all();
    if (notify_) {
        notify_();
    }
}

std::string exceptionMessage(const std::exception_ptr& error) {
    if (!error) {
        return "unknown error";
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        return caught.what();
    } catch (...) {
        return "unknown error";
    }
}

std::string launchErrorText(const std::exception_ptr& error) {
    try {
        if (error) {
            std::rethrow_exception(error);
        }
    } catch (const OSError& caught) {
        return caught.message() + " (system error " + std::to_string(caught.code()) + ")";
    } catch (...) {
    }
    return exceptionMessage(error);
}

} // namespace quorvin
