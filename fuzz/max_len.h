// The flags libFuzzer runs a target with, each unless the command line gives
// that flag itself. A source target names its longest input (-max_len):
// past a few kilobytes a source reaches nothing a shorter one cannot, and
// every later mutation of it pays for its length. The replay build (make
// test) runs every kept input whole.
#pragma once

#ifdef KORVO_LIBFUZZER
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace korvo_fuzz {

// Puts each of `flags` ("-name=value") after argv[0] unless an argument
// already names it.
inline void addDefaultFlags(int* argc, char*** argv, const char* const* flags, size_t count) {
    char** longer = static_cast<char**>(std::calloc(*argc + count + 1, sizeof(char*)));
    if (longer == nullptr) return;
    int at = 0;
    longer[at++] = (*argv)[0];
    for (size_t f = 0; f < count; ++f) {
        const size_t nameLength = std::strcspn(flags[f], "=") + 1;
        bool given = false;
        for (int i = 1; i < *argc && !given; ++i) given = std::strncmp((*argv)[i], flags[f], nameLength) == 0;
        // libFuzzer only reads its arguments.
        if (!given) longer[at++] = const_cast<char*>(flags[f]);
    }
    for (int i = 1; i < *argc; ++i) longer[at++] = (*argv)[i];
    *argv = longer;
    *argc = at;
}

}  // namespace korvo_fuzz

#define KORVO_FUZZ_FLAGS(...)                                                         \
    extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {                    \
        static const char* const flags[] = {__VA_ARGS__};                             \
        korvo_fuzz::addDefaultFlags(argc, argv, flags, sizeof flags / sizeof *flags); \
        return 0;                                                                     \
    }
#else
#define KORVO_FUZZ_FLAGS(...)
#endif
