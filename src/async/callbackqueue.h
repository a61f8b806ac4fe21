// A FIFO of callbacks in a ring buffer that doubles when full.
#pragma once

#include "async/asyncfutures.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace quorvin::detail {

class RingQueue {
public:
    explicit RingQueue(std::size_t capacity = 64) : slots_(capacity < 1 ? 1 : capacity) {}

    bool empty() const noexcept { return count_ == 0; }
    std::size_t size() const noexcept { return count_; }
    std::size_t capacity() const noexcept { return slots_.size(); }

    void push(Callback cb) {
        if (count_ == slots_.size()) {
            grow();
        }
        slots_[(head_ + count_) % slots_.size()] = std::move(cb);
        ++count_;
    }

    Callback pop() {
        Callback cb = std::move(slots_[head_]);
        slots_[head_] = nullptr;
        head_ = (head_ + 1) % slots_.size();
        --count_;
        return cb;
    }

private:
    void grow() {
        std::vector<Callback> larger(slots_.size() * 2);
        for (std::size_t i = 0; i < count_; ++i) {
            larger[i] = std::move(slots_[(head_ + i) % slots_.size()]);
        }
        slots_ = std::move(larger);
        head_ = 0;
    }

    std::vector<Callback> slots_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

} // namespace quorvin::detail
