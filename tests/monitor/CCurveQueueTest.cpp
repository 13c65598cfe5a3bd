#include <gtest/gtest.h>

#include <vector>

#include "monitor/CCurveQueue.h"

namespace qv::monitor {
namespace {

Para sampleOf(int32_t value) {
    Para sample;
    sample.value = value;
    return sample;
}

std::vector<int32_t> values(const CCurveQueue& queue) {
    std::vector<int32_t> out;
    for (size_t i = 0; i < queue.count(); ++i) {
        out.push_back(queue.at(i)->value);
    }
    return out;
}

CCurveQueue queueOf(size_t capacity, int32_t first, int32_t last) {
    CCurveQueue queue;
    queue.resize(capacity);
    for (int32_t v = first; v <= last; ++v) {
        queue.push(sampleOf(v));
    }
    return queue;
}

TEST(CCurveQueueTest, WithoutCapacityNothingIsStored) {
    CCurveQueue queue;
    queue.push(sampleOf(5));
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_FALSE(queue.isFull());
    EXPECT_EQ(queue.at(0), nullptr);
    EXPECT_EQ(queue.newest(), nullptr);
}

TEST(CCurveQueueTest, FullQueueDropsTheOldestAndKeepsOrderAcrossTheWrap) {
    CCurveQueue queue = queueOf(3, 1, 2);
    EXPECT_FALSE(queue.isFull());
    queue.push(sampleOf(3));
    EXPECT_TRUE(queue.isFull());  // head 0, tail at the last slot
    EXPECT_EQ(values(queue), (std::vector<int32_t>{1, 2, 3}));
    for (int32_t v = 4; v <= 8; ++v) {
        queue.push(sampleOf(v));
        EXPECT_TRUE(queue.isFull()) << v;  // the tail just before the head once wrapped
        EXPECT_EQ(queue.count(), 3u);
    }
    EXPECT_EQ(values(queue), (std::vector<int32_t>{6, 7, 8}));
    EXPECT_EQ(queue.newest()->value, 8);
    EXPECT_EQ(queue.at(3), nullptr);
}

TEST(CCurveQueueTest, CapacityOfOneHoldsTheNewest) {
    CCurveQueue queue = queueOf(1, 1, 4);
    EXPECT_EQ(values(queue), (std::vector<int32_t>{4}));
}

TEST(CCurveQueueTest, ResizeKeepsTheNewestInOrder) {
    // Wrapped first, so that the copy has to follow the ring.
    CCurveQueue queue = queueOf(5, 1, 7);
    queue.resize(3);
    EXPECT_EQ(queue.capacity(), 3u);
    EXPECT_EQ(values(queue), (std::vector<int32_t>{5, 6, 7}));
    EXPECT_TRUE(queue.isFull());
    queue.push(sampleOf(8));
    EXPECT_EQ(values(queue), (std::vector<int32_t>{6, 7, 8}));

    queue.resize(6);
    EXPECT_EQ(values(queue), (std::vector<int32_t>{6, 7, 8}));
    queue.push(sampleOf(9));
    EXPECT_EQ(values(queue), (std::vector<int32_t>{6, 7, 8, 9}));

    queue.resize(0);
    EXPECT_TRUE(queue.isEmpty());
    queue.push(sampleOf(10));
    EXPECT_TRUE(queue.isEmpty());
}

TEST(CCurveQueueTest, ClearEmptiesAndKeepsTheCapacity) {
    CCurveQueue queue = queueOf(4, 1, 6);
    queue.clear();
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_EQ(queue.capacity(), 4u);
    queue.push(sampleOf(9));
    EXPECT_EQ(values(queue), (std::vector<int32_t>{9}));
}

TEST(CCurveQueueTest, CopiesAreIndependent) {
    CCurveQueue queue = queueOf(3, 1, 5);
    CCurveQueue copy = queue;
    queue.push(sampleOf(6));
    EXPECT_EQ(values(copy), (std::vector<int32_t>{3, 4, 5}));
    EXPECT_EQ(values(queue), (std::vector<int32_t>{4, 5, 6}));
    copy.push(sampleOf(7));
    EXPECT_EQ(values(copy), (std::vector<int32_t>{4, 5, 7}));
}

}  // namespace
}  // namespace qv::monitor
