/* Preloaded into korvo by tests/scripts/test_output_signals.py: the first
   write into one of korvo's temporary outputs stops the process (SIGSTOP),
   so that the test can signal it at a moment its temporary surely exists,
   whatever the load of the machine. A temporary is one named as korvo names
   them, or a file without a name. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static int stopped;

static int isTemporary(int descriptor) {
    char link[64];
    char target[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0) return 0;
    target[length] = 0;
    const char* slash = strrchr(target, '/');
    if (slash == NULL) return 0;
    /* A file made without a name (O_TMPFILE) shows as "#inode (deleted)". */
    const size_t tail = strlen(" (deleted)");
    if (slash[1] == '#' && (size_t)length > tail && strcmp(target + length - tail, " (deleted)") == 0) return 1;
    return strncmp(slash + 1, ".korvo-tmp-", 11) == 0;
}

ssize_t write(int descriptor, const void* bytes, size_t count) {
    static ssize_t (*next)(int, const void*, size_t);
    if (next == NULL) next = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    if (!stopped && descriptor > 2 && isTemporary(descriptor)) {
        stopped = 1;
        raise(SIGSTOP);
    }
    return next(descriptor, bytes, count);
}
