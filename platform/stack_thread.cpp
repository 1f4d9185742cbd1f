#include "platform/stack_thread.h"

#include <pthread.h>

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
    pthread_join(thread, nullptr);
}

}  // namespace platform
