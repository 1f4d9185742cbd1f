// The longest input libFuzzer makes for a target, unless the command line
// gives -max_len itself. Past a few kilobytes a source reaches nothing a
// shorter one cannot, and every later mutation of it pays for its length.
// The replay build (make test) runs every kept input whole.
#pragma once

#ifdef KORVO_LIBFUZZER
#include <cstdlib>
#include <cstring>

#define KORVO_FUZZ_MAX_LEN(bytes)                                                   \
    extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {                  \
        for (int i = 1; i < *argc; ++i)                                             \
            if (std::strncmp((*argv)[i], "-max_len=", 9) == 0) return 0;            \
        static char flag[] = "-max_len=" #bytes;                                    \
        char** longer = static_cast<char**>(std::calloc(*argc + 2, sizeof(char*))); \
        if (longer == nullptr) return 0;                                            \
        longer[0] = (*argv)[0];                                                     \
        longer[1] = flag;                                                           \
        for (int i = 1; i < *argc; ++i) longer[i + 1] = (*argv)[i];                 \
        *argv = longer;                                                             \
        ++*argc;                                                                    \
        return 0;                                                                   \
    }
#else
#define KORVO_FUZZ_MAX_LEN(bytes)
#endif
