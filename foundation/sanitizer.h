// Whether AddressSanitizer instruments this build. g++ announces it with
// __SANITIZE_ADDRESS__; clang (the fuzz build) only through __has_feature.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define KORVO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVO_ADDRESS_SANITIZER 1
#endif
#endif
