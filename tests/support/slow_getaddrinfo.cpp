// A name resolver that takes its time, loaded with LD_PRELOAD: a lookup of
// a name ending in ".slow.test" waits TESSALY_SLOW_LOOKUP_SECONDS (12 when
// unset), as behind a dead DNS server, and then finds 127.0.0.1. Every
// other name goes to the system's resolver at once.
#include <dlfcn.h>
#include <netdb.h>

#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace {

using Resolver = int (*)(const char*, const char*, const addrinfo*, addrinfo**);

} // namespace

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result)
{
    static const auto real = reinterpret_cast<Resolver>(dlsym(RTLD_NEXT, "getaddrinfo"));
    if (node != nullptr && std::string_view{node}.ends_with(".slow.test")) {
        const char* seconds = std::getenv("TESSALY_SLOW_LOOKUP_SECONDS");
        std::this_thread::sleep_for(
            std::chrono::seconds(seconds != nullptr ? std::atoi(seconds) : 12));
        node = "127.0.0.1";
    }
    return real(node, service, hints, result);
}
