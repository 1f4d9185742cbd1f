// The two locks the compiler keeps although it runs one thread: a slim
// reader/writer lock (JSON printing) and a word-sized spin lock that the
// logger builds its reader count on.
#pragma once

#include <atomic>
#include <cstdint>
#include <pthread.h>

namespace platform {

class SlimRwLock {
public:
    SlimRwLock();
    ~SlimRwLock();
    SlimRwLock(const SlimRwLock&) = delete;
    SlimRwLock& operator=(const SlimRwLock&) = delete;

    void acquireExclusive();
    void releaseExclusive();
    void acquireShared();
    void releaseShared();

private:
    pthread_rwlock_t lock_;
};

// A guard word: 0 free, 1 held. Changed only with atomic instructions.
class SpinLock {
public:
    bool tryAcquire();
    void acquire();
    void release();
    bool isHeld() const { return word_.load(std::memory_order_relaxed) != 0; }

private:
    std::atomic<uint32_t> word_{0};
};

}  // namespace platform
