#include "monitor/CCurveQueue.h"

#include <algorithm>

namespace qv::monitor {

CCurveQueue::CCurveQueue(const CCurveQueue& other) {
    *this = other;
}

CCurveQueue& CCurveQueue::operator=(const CCurveQueue& other) {
    if (this == &other) {
        return *this;
    }
    std::vector<std::unique_ptr<Para>> copy(other.capacity());
    const size_t n = other.count();
    for (size_t i = 0; i < n; ++i) {
        copy[i] = std::make_unique<Para>(*other.at(i));
    }
    buffer_ = std::move(copy);
    head_ = 0;
    tail_ = static_cast<long>(n) - 1;
    return *this;
}

size_t CCurveQueue::count() const {
    if (isEmpty()) {
        return 0;
    }
    if (tail_ >= head_) {
        return static_cast<size_t>(tail_ - head_ + 1);
    }
    return capacity() - static_cast<size_t>(head_) + static_cast<size_t>(tail_) + 1;
}

bool CCurveQueue::isFull() const {
    if (isEmpty() || capacity() == 0) {
        return false;
    }
    const long last = static_cast<long>(capacity()) - 1;
    return (head_ == 0 && tail_ == last) || head_ - tail_ == 1;
}

void CCurveQueue::dropOldest() {
    if (isEmpty()) {
        return;
    }
    buffer_[static_cast<size_t>(head_)].reset();
    if (head_ == tail_) {
        head_ = 0;
        tail_ = -1;
        return;
    }
    head_ = (head_ + 1) % static_cast<long>(capacity());
}

void CCurveQueue::push(const Para& sample) {
    if (capacity() == 0) {
        return;
    }
    if (isFull()) {
        dropOldest();
    }
    if (isEmpty()) {
        head_ = 0;
        tail_ = 0;
    } else {
        tail_ = (tail_ + 1) % static_cast<long>(capacity());
    }
    buffer_[static_cast<size_t>(tail_)] = std::make_unique<Para>(sample);
}

void CCurveQueue::resize(size_t slots) {
    const size_t n = count();
    const size_t kept = std::min(n, slots);
    std::vector<std::unique_ptr<Para>> fresh(slots);
    for (size_t i = 0; i < kept; ++i) {
        fresh[i] = std::move(buffer_[slotOf(n - kept + i)]);
    }
    buffer_ = std::move(fresh);
    head_ = 0;
    tail_ = static_cast<long>(kept) - 1;
}

void CCurveQueue::clear() {
    for (auto& slot : buffer_) {
        slot.reset();
    }
    head_ = 0;
    tail_ = -1;
}

const Para* CCurveQueue::at(size_t position) const {
    if (position >= count()) {
        return nullptr;
    }
    return buffer_[slotOf(position)].get();
}

}  // namespace qv::monitor
