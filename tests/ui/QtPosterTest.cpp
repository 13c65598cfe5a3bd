#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <thread>
#include <vector>

#include "ui/QtPoster.h"

namespace qv::test {
namespace {

struct Received {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    std::thread::id thread;
};

void pumpFor(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

TEST(QtPoster, MessagesFromAnotherThreadArriveInOrderOnTheUserInterfaceThread) {
    ui::QtPoster poster;
    std::vector<Received> received;
    poster.setHandler([&](uint32_t message, uintptr_t wParam, intptr_t lParam) {
        received.push_back({message, wParam, lParam, std::this_thread::get_id()});
    });
    constexpr int kCount = 50;
    std::thread worker([&] {
        for (int i = 0; i < kCount; ++i) {
            EXPECT_TRUE(poster.postThreadMessage(0, 0x0111, static_cast<uintptr_t>(i), -1));
        }
    });
    worker.join();
    EXPECT_TRUE(received.empty());  // nothing runs on the worker's thread

    QElapsedTimer timer;
    timer.start();
    while (received.size() < kCount && timer.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_EQ(received.size(), static_cast<size_t>(kCount));
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(received[static_cast<size_t>(i)].message, 0x0111u);
        EXPECT_EQ(received[static_cast<size_t>(i)].wParam, static_cast<uintptr_t>(i));
        EXPECT_EQ(received[static_cast<size_t>(i)].lParam, -1);
        EXPECT_EQ(received[static_cast<size_t>(i)].thread, std::this_thread::get_id());
    }
}

TEST(QtPoster, MessagesWithoutAListenerAreDroppedAndADeletedPosterTakesItsQueueAlong) {
    int calls = 0;
    {
        ui::QtPoster poster;
        poster.postThreadMessage(0, 3023, 0, 0);
        pumpFor(30);  // no handler: dropped
        poster.setHandler([&](uint32_t, uintptr_t, intptr_t) { ++calls; });
        pumpFor(30);
        EXPECT_EQ(calls, 0);
        poster.postThreadMessage(0, 3023, 0, 0);
    }
    pumpFor(30);  // the pending event went with the poster
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace qv::test
