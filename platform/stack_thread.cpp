#include "platform/stack_thread.h"

#include <pthread.h>
#include <signal.h>

// AddressSanitizer keeps its own record of each thread's stack: it would
// take a stack switched under it for an overflow.
#if defined(__SANITIZE_ADDRESS__)
#define KORVO_STACK_SWITCH 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVO_STACK_SWITCH 0
#endif
#endif
#if !defined(KORVO_STACK_SWITCH)
#define KORVO_STACK_SWITCH 1
#include <sys/mman.h>
#include <ucontext.h>
#endif

namespace platform {
namespace {

// The stack the work now running was given here (0: any other stack).
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

// On a new thread, which the calling one waits for; false when none could
// be made.
bool runOnThread(Job& job) {
    pthread_attr_t attributes;
    pthread_t thread;
    bool started = false;
    if (pthread_attr_init(&attributes) == 0) {
        started = pthread_attr_setstacksize(&attributes, job.bytes) == 0 &&
                  pthread_create(&thread, &attributes, runJob, &job) == 0;
        pthread_attr_destroy(&attributes);
    }
    if (!started) return false;
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
    return true;
}

#if KORVO_STACK_SWITCH

thread_local Job* tSwitchedJob = nullptr;

void runSwitchedJob() {
    Job* job = tSwitchedJob;
    const size_t outer = tLargeStackBytes;
    tLargeStackBytes = job->bytes;
    job->work(job->data);
    tLargeStackBytes = outer;
}

// On the calling thread, switched to a stack of its own: a second thread
// would cost a start and a wake-up on another processor, more than a small
// compilation's own work waits for. False when the stack cannot be had.
bool runOnSwitchedStack(Job& job) {
    const size_t guard = size_t{64} << 10;
    void* mapped = mmap(nullptr, job.bytes + guard, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (mapped == MAP_FAILED) return false;
    // An overflow faults on the guard below the stack rather than writing
    // into whatever lies there.
    mprotect(mapped, guard, PROT_NONE);
    ucontext_t back;
    ucontext_t switched;
    if (getcontext(&switched) != 0) {
        munmap(mapped, job.bytes + guard);
        return false;
    }
    switched.uc_stack.ss_sp = static_cast<char*>(mapped) + guard;
    switched.uc_stack.ss_size = job.bytes;
    switched.uc_link = &back;
    Job* outer = tSwitchedJob;
    tSwitchedJob = &job;
    makecontext(&switched, runSwitchedJob, 0);
    swapcontext(&back, &switched);
    tSwitchedJob = outer;
    munmap(mapped, job.bytes + guard);
    return true;
}

#endif

}  // namespace

void runOnLargeStack(size_t bytes, void (*work)(void* data), void* data) {
    // Already on such a stack (the compile asking again for its declaration
    // pass): a second one would cost a second mapping for nothing.
    if (tLargeStackBytes >= bytes) {
        work(data);
        return;
    }
    Job job{work, data, bytes};
#if KORVO_STACK_SWITCH
    if (runOnSwitchedStack(job)) return;
#endif
    if (!runOnThread(job)) work(data);
}

}  // namespace platform
