#pragma once

#include "links/http_session.h"
#include "links/link_test.h"

#include <httplib.h>

#include <atomic>
#include <vector>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tessaly::bench {

// A web server of the benchmark on a loopback address of its own, with
// enough threads for the batch's connections at once.
struct LocalHttp {
    httplib::Server http;
    std::string base; // "http://IP:PORT"
    std::thread thread;

    ~LocalHttp()
    {
        http.stop();
        if (thread.joinable()) {
            thread.join();
        }
    }
};

// Starts a server on `ip` whose routes `routes` sets up.
inline std::unique_ptr<LocalHttp>
startLocalHttp(const std::string& ip, const std::function<void(httplib::Server&)>& routes)
{
    auto server = std::make_unique<LocalHttp>();
    server->http.new_task_queue = [] {
        return new httplib::ThreadPool(64);
    };
    routes(server->http);
    const int port = server->http.bind_to_any_port(ip);
    server->base = "http://" + ip + ":" + std::to_string(port);
    LocalHttp* raw = server.get();
    server->thread = std::thread([raw] { raw->http.listen_after_bind(); });
    while (!server->http.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return server;
}

// Answers per second the servers give at `jobs` requests at once, each
// answer read whole: the address of request i is `url(i)`.
inline double serverLimit(std::size_t count, const std::function<std::string(std::size_t)>& url,
                          int jobs)
{
    std::atomic<std::size_t> next{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int j = 0; j < jobs; ++j) {
        threads.emplace_back([&] {
            HttpSession session{kLinkTestAgent};
            for (std::size_t i = next++; i < count; i = next++) {
                session.open(url(i), [](std::string_view) { return true; });
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    return static_cast<double>(count) /
           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace tessaly::bench
