// The registry of the sockets registered with one dispatcher, each with the state that the
// platform's backend keeps for it. It is the only record of which sockets are registered: the
// dispatcher asks it, through the backend, whether a socket is.
#pragma once

#include "async/sockethandle.h"

#include <cstddef>
#include <optional>
#include <unordered_map>
#include <utility>

namespace quorvin::detail {

template <class State>
class SocketRegistry {
public:
    explicit SocketRegistry(std::size_t capacity) { sockets_.reserve(capacity); }

    // The socket's entry, made when it has none.
    State& add(AsyncFD fd) { return sockets_.try_emplace(fd).first->second; }
    // The socket's state taken out of the registry; nothing when the socket had no entry.
    std::optional<State> remove(AsyncFD fd) {
        auto found = sockets_.find(fd);
        if (found == sockets_.end()) {
            return std::nullopt;
        }
        std::optional<State> state(std::move(found->second));
        sockets_.erase(found);
        return state;
    }
    // The socket's state, or null when it is not registered.
    State* find(AsyncFD fd) noexcept {
        auto found = sockets_.find(fd);
        return found == sockets_.end() ? nullptr : &found->second;
    }
    bool contains(AsyncFD fd) const noexcept { return sockets_.contains(fd); }
    std::size_t size() const noexcept { return sockets_.size(); }

    auto begin() noexcept { return sockets_.begin(); }
    auto end() noexcept { return sockets_.end(); }

private:
    std::unordered_map<AsyncFD, State> sockets_;
};

} // namespace quorvin::detail
