// The bounded history of one curve: a ring of samples that owns them. Once it holds its capacity,
// each new sample pushes the oldest out, so a history never grows past the plot's width.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "monitor/Para.h"

namespace qv::monitor {

class CCurveQueue {
public:
    CCurveQueue() = default;
    // A copy holds copies of the samples, in the same order and with the same capacity.
    CCurveQueue(const CCurveQueue& other);
    CCurveQueue& operator=(const CCurveQueue& other);
    CCurveQueue(CCurveQueue&&) noexcept = default;
    CCurveQueue& operator=(CCurveQueue&&) noexcept = default;

    size_t capacity() const { return buffer_.size(); }
    size_t count() const;
    bool isEmpty() const { return tail_ < 0; }
    // Full when the head is at slot 0 and the tail at the last slot, or when the tail is the
    // slot just before the head.
    bool isFull() const;

    // Stores the sample as the newest; with no capacity nothing is stored. When full, the oldest
    // sample is taken off first.
    void push(const Para& sample);
    // A new capacity of `slots`: the newest min(count, slots) samples stay, in order.
    void resize(size_t slots);
    // Takes off every sample; the capacity stays.
    void clear();

    // The sample at `position`, counted from the oldest (0) to the newest (count - 1); nullptr
    // outside that range.
    const Para* at(size_t position) const;
    const Para* newest() const { return isEmpty() ? nullptr : buffer_[slotOf(count() - 1)].get(); }

private:
    size_t slotOf(size_t position) const {
        return (static_cast<size_t>(head_) + position) % capacity();
    }
    void dropOldest();

    std::vector<std::unique_ptr<Para>> buffer_;
    long head_ = 0;   // slot of the oldest sample
    long tail_ = -1;  // slot of the newest sample; -1 when empty
};

}  // namespace qv::monitor
