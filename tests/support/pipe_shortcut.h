#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace tessaly::test {

// A named pipe where a file is expected. A reader that opens it blocks until
// a writer comes; after `patience` this object comes as the writer, so a
// test that would hang fails instead, and rescued() says it had to.
class PipeShortcut final {
public:
    PipeShortcut(std::string path, std::chrono::seconds patience) : path_(std::move(path))
    {
        ::mkfifo(path_.c_str(), 0600);
        watchdog_ = std::thread([this, patience] {
            const auto end = std::chrono::steady_clock::now() + patience;
            while (!done_ && std::chrono::steady_clock::now() < end) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            while (!done_) {
                // Succeeds only while a reader waits in open().
                if (const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) {
                    rescued_ = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~PipeShortcut()
    {
        done_ = true;
        watchdog_.join();
    }
    PipeShortcut(const PipeShortcut&) = delete;
    PipeShortcut& operator=(const PipeShortcut&) = delete;

    bool rescued() const { return rescued_; }

private:
    std::string path_;
    std::atomic<bool> done_{false};
    std::atomic<bool> rescued_{false};
    std::thread watchdog_;
};

} // namespace tessaly::test
