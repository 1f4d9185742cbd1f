#include "platform/stack_thread.h"

#include <pthread.h>
#include <signal.h>

namespace platform {
namespace {

// The stack of the thread this one is, when it was made here (0: any other).
thread_local size_t tLargeStackBytes = 0;

struct Job {
    void (*work)(void*);
    void* data;
    size_t bytes;
};

void* runJob(void* argument) {
    const Job* job = static_cast<const Job*>(argument);
    tLargeStackBytes = job->bytes;
    job->work(job->data);
    return nullptr;
}

}  // namespace

void runOnLargeStack(size_t bytes, void (*work)(void* data), void* data) {
    // Already on such a stack (the compile thread asking again for its
    // declaration pass): a nested thread would cost a second stack mapping
    // and a second object heap for nothing.
    if (tLargeStackBytes >= bytes) {
        work(data);
        return;
    }
    Job job{work, data, bytes};
    pthread_attr_t attributes;
    pthread_t thread;
    bool started = false;
    if (pthread_attr_init(&attributes) == 0) {
        started = pthread_attr_setstacksize(&attributes, bytes) == 0 &&
                  pthread_create(&thread, &attributes, runJob, &job) == 0;
        pthread_attr_destroy(&attributes);
    }
    if (!started) {
        work(data);
        return;
    }
    // While it waits, this thread takes no signal: one sent to the process
    // then reaches the thread doing the work, whose held regions keep the
    // temporary outputs and their table in step. Taken here, its handler
    // would race that thread's rename and could replace the target of a
    // compile it ends.
    sigset_t all;
    sigset_t saved;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &saved);
    pthread_join(thread, nullptr);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

}  // namespace platform
