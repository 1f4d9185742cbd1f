// Helpers shared by the syntax tests: find the source tree, read a file
// whole, and run work where the stack is large.
#pragma once

#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace syntaxtest {

// The test runner names the source tree; a direct run finds it from here.
inline std::string sourceTree() {
    const char* root = std::getenv("KORVO_SOURCE_DIR");
    std::string here = __FILE__;
    return root ? root : here.substr(0, here.rfind("/tests/"));
}

// The file's bytes; empty when it cannot be read.
inline std::string readFile(const std::string& path) {
    std::string text;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    std::fclose(file);
    return text;
}

// Runs `work` on a thread with a stack of `bytes`.
template <typename Work>
void onStackOf(size_t bytes, Work work) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, bytes);
    pthread_t thread;
    auto trampoline = [](void* argument) -> void* {
        (*static_cast<Work*>(argument))();
        return nullptr;
    };
    if (pthread_create(&thread, &attributes, trampoline, &work) == 0) pthread_join(thread, nullptr);
    else std::abort();
    pthread_attr_destroy(&attributes);
}

// The engine recurses once per grammar level: run `work` on a thread with a
// stack as large as the driver gives a compile, or larger.
template <typename Work>
void onBigStack(Work work) {
    onStackOf(size_t{256} << 20, work);
}

}  // namespace syntaxtest
