#pragma once

#include "links/page_download.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessaly {

// Runs the downloads of a batch side by side on workers of its own, at most
// `jobs` at once and `perHost` of them on one host, and hands them back in
// the order of `locations`. Workers run ahead of the caller by a bounded
// number of downloads, so what waits for the caller stays small. Nothing
// here touches a database file. cancel() from any thread ends every
// download under way at once; the destructor cancels and waits.
class DownloadPool final {
public:
    // Makes the download of one address (on a worker).
    using Maker = std::function<std::unique_ptr<PageDownload>(const std::string& location)>;

    DownloadPool(std::vector<std::string> locations, Maker make, int jobs, int perHost);
    ~DownloadPool();
    DownloadPool(const DownloadPool&) = delete;
    DownloadPool& operator=(const DownloadPool&) = delete;

    // The finished download of the next address in order; `idle` is
    // called about every 50 ms while it is awaited. Null once cancelled.
    std::unique_ptr<PageDownload> next(const std::function<void()>& idle);
    void cancel();

private:
    void work();
    int nextStartable(); // under mutex_: the index to start, or -1

    std::vector<std::string> locations_;
    Maker make_;
    int perHost_;
    std::size_t window_; // how far past the caller the workers may start

    std::mutex mutex_;
    std::condition_variable startable_;
    std::condition_variable finished_;
    std::vector<int> hosts_; // of each location, as a host number
    std::vector<int> busy_;  // downloads under way, by host number
    std::vector<std::unique_ptr<PageDownload>> downloads_;
    std::vector<char> state_; // 0 waiting, 1 under way, 2 finished
    std::size_t firstWaiting_ = 0;
    std::size_t taken_ = 0; // downloads handed to the caller
    std::atomic<bool> cancelled_{false};
    std::vector<std::thread> workers_;
};

} // namespace tessaly
