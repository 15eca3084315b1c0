#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace tessaly::test {

// Runs the test program again with `library` preloaded, unless it already
// is; returns only when it is (or when the new run could not start: 2).
// Under AddressSanitizer the preloaded library comes before the
// sanitizer's own, which it would otherwise refuse.
inline int preloadAndRunAgain(char** argv, const char* library)
{
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload != nullptr && std::strstr(preload, library) != nullptr) {
        return 0;
    }
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    std::string options = sanitizer != nullptr && *sanitizer != '\0'
                              ? std::string{sanitizer} + ":verify_asan_link_order=0"
                              : std::string{"verify_asan_link_order=0"};
    ::setenv("ASAN_OPTIONS", options.c_str(), 1);
    ::setenv("LD_PRELOAD", library, 1);
    ::execv("/proc/self/exe", argv);
    return 2;
}

} // namespace tessaly::test
