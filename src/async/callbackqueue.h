// A FIFO of callbacks in a ring buffer that doubles when full. Each entry also holds the future
// that must outlive its callback, so that scheduling one costs no closure of its own.
#pragma once

#include "async/asyncfutures.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace quorvin::detail {

struct QueuedCallback {
    Callback cb;
    std::shared_ptr<FutureBase> keepAlive;
};

class RingQueue {
public:
    explicit RingQueue(std::size_t capacity = 64) : slots_(capacity < 1 ? 1 : capacity) {}

    bool empty() const noexcept { return count_ == 0; }
    std::size_t size() const noexcept { return count_; }
    std::size_t capacity() const noexcept { return slots_.size(); }

    void push(Callback cb, std::shared_ptr<FutureBase> keepAlive = nullptr) {
        if (count_ == slots_.size()) {
            grow();
        }
        slots_[(head_ + count_) % slots_.size()] = {std::move(cb), std::move(keepAlive)};
        ++count_;
    }

    QueuedCallback pop() {
        QueuedCallback cb = std::move(slots_[head_]);
        slots_[head_] = {};
        head_ = (head_ + 1) % slots_.size();
        --count_;
        return cb;
    }

private:
    void grow() {
        std::vector<QueuedCallback> larger(slots_.size() * 2);
        for (std::size_t i = 0; i < count_; ++i) {
            larger[i] = std::move(slots_[(head_ + i) % slots_.size()]);
        }
        slots_ = std::move(larger);
        head_ = 0;
    }

    std::vector<QueuedCallback> slots_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

} // namespace quorvin::detail
