#include "platform/locks.h"

#include <sched.h>

namespace platform {

SlimRwLock::SlimRwLock() { pthread_rwlock_init(&lock_, nullptr); }
SlimRwLock::~SlimRwLock() { pthread_rwlock_destroy(&lock_); }
void SlimRwLock::acquireExclusive() { pthread_rwlock_wrlock(&lock_); }
void SlimRwLock::releaseExclusive() { pthread_rwlock_unlock(&lock_); }
void SlimRwLock::acquireShared() { pthread_rwlock_rdlock(&lock_); }
void SlimRwLock::releaseShared() { pthread_rwlock_unlock(&lock_); }

bool SpinLock::tryAcquire() {
    uint32_t expected = 0;
    return word_.compare_exchange_strong(expected, 1, std::memory_order_acquire, std::memory_order_relaxed);
}

void SpinLock::acquire() {
    while (!tryAcquire()) {
        // Wait on a plain load so the cache line is not hammered by writes.
        while (word_.load(std::memory_order_relaxed) != 0) sched_yield();
    }
}

void SpinLock::release() { word_.store(0, std::memory_order_release); }

}  // namespace platform
