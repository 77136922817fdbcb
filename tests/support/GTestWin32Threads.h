// Read before GoogleTest's own headers in the Windows build. The win32 thread model of
// mingw-w64 (GCC 12) has no std::mutex or std::condition_variable, which GoogleTest's
// Notification is made of; it is used only by GoogleTest's tests of its own threads.
#pragma once
#include <atomic>

namespace testing::internal {
class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { notified_ = true; }
    void WaitForNotification() {
        while (!notified_) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};
}  // namespace testing::internal

#define GTEST_HAS_NOTIFICATION_ 1
