#include "platform/parallel.h"

#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <vector>

namespace platform {
namespace {

struct Part {
    void (*work)(void*, size_t);
    void* data;
    size_t part;
};

void* runPart(void* argument) {
    const Part* part = static_cast<const Part*>(argument);
    part->work(part->data, part->part);
    return nullptr;
}

}  // namespace

size_t processorCount() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    const int count = CPU_COUNT(&set);
    return count > 0 ? static_cast<size_t>(count) : 1;
}

void runInParallel(size_t parts, void (*work)(void* data, size_t part), void* data) {
    if (parts == 0) return;
    std::vector<Part> jobs(parts);
    std::vector<pthread_t> threads(parts);
    std::vector<bool> started(parts, false);
    // The helpers are made with every signal held, so that a signal sent to
    // the process is handled by the calling thread alone (see runOnLargeStack).
    sigset_t all;
    sigset_t saved;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &saved);
    for (size_t part = 1; part < parts; ++part) {
        jobs[part] = Part{work, data, part};
        started[part] = pthread_create(&threads[part], nullptr, runPart, &jobs[part]) == 0;
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    work(data, 0);
    for (size_t part = 1; part < parts; ++part) {
        if (started[part]) {
            pthread_join(threads[part], nullptr);
        } else {
            work(data, part);
        }
    }
}

}  // namespace platform
