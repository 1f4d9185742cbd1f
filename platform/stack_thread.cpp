#include "platform/stack_thread.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "platform/output_file.h"

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
using detail::tStackLow;

uintptr_t threadStackLow() {
    pthread_attr_t attributes;
    void* low = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return 0;
    pthread_attr_getstack(&attributes, &low, &size);
    pthread_attr_destroy(&attributes);
    // The lowest page or so is the guard on many systems.
    return reinterpret_cast<uintptr_t>(low) + 4096;
}

// Address space and data may both be limited, and a mapped stack counts
// against each: the stack takes at most a quarter of the smaller limit, so
// that the heap keeps the rest.
size_t fitToLimits(size_t wanted) {
    size_t fitted = wanted;
    const int resources[] = {RLIMIT_AS, RLIMIT_DATA};
    for (int resource : resources) {
        struct rlimit limit;
        if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) continue;
        const size_t share = static_cast<size_t>(limit.rlim_cur / 4);
        if (share < fitted) fitted = share;
    }
    return fitted;
}

constexpr size_t kOverflowReach = size_t{1} << 20;
const char kOverflowMessage[] = "错误:编译器堆栈空间不足,编译中断.\n";

// A fault just below the stack's usable end is the stack running out: said
// plainly, the temporaries removed and the process ended with status 1.
// Anything else ends as the signal would (output_file.cpp).
extern "C" void endOnStackFault(int signal, siginfo_t* info, void*) {
    const uintptr_t fault = reinterpret_cast<uintptr_t>(info != nullptr ? info->si_addr : nullptr);
    const uintptr_t low = tStackLow;
    if (signal == SIGSEGV && low != 0 && fault + kOverflowReach >= low && fault < low + kOverflowReach) {
        removeTemporaries();
        ssize_t ignored = ::write(1, kOverflowMessage, sizeof kOverflowMessage - 1);
        (void)ignored;
        _exit(1);
    }
    endWithSignal(signal);
}

// The handler of an overflow cannot run on the stack that overflowed: each
// thread that runs work here gets a stack of its own for it.
void watchForOverflow() {
    static thread_local bool watching = false;
    if (watching) return;
    watching = true;
#if !KORVO_STACK_SWITCH
    // The sanitizer reports an overflow itself, from a stack it owns.
    return;
#endif
    stack_t alternate{};
    alternate.ss_size = size_t{64} << 10;
    alternate.ss_sp = std::malloc(alternate.ss_size);
    if (alternate.ss_sp == nullptr || sigaltstack(&alternate, nullptr) != 0) return;
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction handler {};
    handler.sa_sigaction = endOnStackFault;
    handler.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigfillset(&handler.sa_mask);
    struct sigaction previous;
    // One already there (a sanitizer's) stays.
    if (::sigaction(SIGSEGV, &handler, &previous) == 0 && previous.sa_handler != SIG_DFL)
        ::sigaction(SIGSEGV, &previous, nullptr);
}

struct Job {
    void (*work)(void*);
    void* data;
    size_t bytes;
    uintptr_t low = 0;  // a switched stack's lowest usable address
};

void* runJob(void* argument) {
    const Job* job = static_cast<const Job*>(argument);
    tLargeStackBytes = job->bytes;
    tStackLow = threadStackLow();
    watchForOverflow();
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
    const uintptr_t outerLow = tStackLow;
    tLargeStackBytes = job->bytes;
    tStackLow = job->low;
    job->work(job->data);
    tLargeStackBytes = outer;
    tStackLow = outerLow;
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
    job.low = reinterpret_cast<uintptr_t>(switched.uc_stack.ss_sp);
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

namespace detail {

thread_local uintptr_t tStackLow = 0;

uintptr_t findStackLow() {
    tStackLow = threadStackLow();
    return tStackLow;
}

}  // namespace detail

void runOnLargeStack(size_t bytes, void (*work)(void* data), void* data) {
    bytes = fitToLimits(bytes);
    // Already on a stack made here (the compile asking again for its
    // declaration pass): a second one would cost a second mapping for
    // nothing, and a work given a smaller stack on purpose keeps it.
    if (tLargeStackBytes != 0) {
        work(data);
        return;
    }
    watchForOverflow();
    Job job{work, data, bytes};
#if KORVO_STACK_SWITCH
    if (runOnSwitchedStack(job)) return;
#endif
    if (runOnThread(job)) return;
    // The work runs on this thread's own stack after all: its end is told
    // now, so that an overflow is said plainly. Only now: for the process's
    // first thread the C library reads it out of /proc/self/maps, which
    // every start paid for a stack the work never ran on.
    if (tStackLow == 0) tStackLow = threadStackLow();
    work(data);
}

}  // namespace platform
