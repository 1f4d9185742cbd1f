#include "platform/stack_thread.h"

#include <pthread.h>
#include <signal.h>

namespace platform {
namespace {

struct Job {
    void (*work)(void*);
    void* data;
};

void* runJob(void* argument) {
    const Job* job = static_cast<const Job*>(argument);
    job->work(job->data);
    return nullptr;
}

}  // namespace

void runOnLargeStack(size_t bytes, void (*work)(void* data), void* data) {
    Job job{work, data};
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
