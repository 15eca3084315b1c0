#include "links/download_pool.h"

#include "links/link_batch.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>

namespace tessaly {

namespace {

// Finished downloads hold only their names, so the workers may run well
// ahead of the caller: a slow page does not leave the other jobs idle.
constexpr std::size_t kLookAhead = 16;

enum : char { kWaiting = 0, kUnderWay = 1, kFinished = 2 };

} // namespace

DownloadPool::DownloadPool(std::vector<std::string> locations, Maker make, int jobs, int perHost)
    : locations_(std::move(locations)), make_(std::move(make))
{
    jobs = linkTestJobsFor(jobs);
    perHost_ = std::clamp(perHost, 1, jobs);
    window_ = static_cast<std::size_t>(jobs) * kLookAhead;
    std::unordered_map<std::string, int> numbers;
    for (const std::string& location : locations_) {
        const auto [at, added] =
            numbers.try_emplace(hostOf(location), static_cast<int>(numbers.size()));
        hosts_.push_back(at->second);
    }
    busy_.assign(numbers.size(), 0);
    downloads_.resize(locations_.size());
    state_.assign(locations_.size(), kWaiting);
    const std::size_t workers = std::min(static_cast<std::size_t>(jobs), locations_.size());
    for (std::size_t j = 0; j < workers; ++j) {
        workers_.emplace_back([this] { work(); });
    }
}

DownloadPool::~DownloadPool()
{
    cancel();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void DownloadPool::cancel()
{
    const std::lock_guard lock{mutex_};
    cancelled_ = true;
    for (std::size_t i = taken_; i < downloads_.size(); ++i) {
        if (state_[i] == kUnderWay && downloads_[i]) {
            downloads_[i]->cancel();
        }
    }
    startable_.notify_all();
    finished_.notify_all();
}

int DownloadPool::nextStartable()
{
    while (firstWaiting_ < state_.size() && state_[firstWaiting_] != kWaiting) {
        ++firstWaiting_;
    }
    const std::size_t end = std::min(state_.size(), taken_ + window_);
    return leastBusyItem(firstWaiting_, end, state_, hosts_, busy_, perHost_);
}

void DownloadPool::work()
{
    std::unique_lock lock{mutex_};
    while (true) {
        int index = -1;
        startable_.wait(lock, [&] {
            if (cancelled_ || firstWaiting_ >= state_.size()) {
                return true;
            }
            index = nextStartable();
            return index >= 0 || firstWaiting_ >= state_.size();
        });
        if (index < 0) {
            return;
        }
        const auto i = static_cast<std::size_t>(index);
        state_[i] = kUnderWay;
        int& busy = busy_[static_cast<std::size_t>(hosts_[i])];
        ++busy;
        lock.unlock();
        std::unique_ptr<PageDownload> download = make_(locations_[i]);
        lock.lock();
        downloads_[i] = std::move(download);
        PageDownload& running = *downloads_[i];
        if (cancelled_) {
            running.cancel();
        }
        lock.unlock();
        running.run();
        lock.lock();
        --busy;
        state_[i] = kFinished;
        // The freed host may let another download start.
        startable_.notify_one();
        if (i == taken_) {
            finished_.notify_all();
        }
    }
}

std::unique_ptr<PageDownload> DownloadPool::next(const std::function<void()>& idle)
{
    std::unique_lock lock{mutex_};
    if (taken_ >= state_.size()) {
        return nullptr;
    }
    const auto ready = [this] {
        return cancelled_ || state_[taken_] == kFinished;
    };
    while (!finished_.wait_for(lock, std::chrono::milliseconds(50), ready)) {
        if (idle) {
            lock.unlock();
            idle();
            lock.lock();
        }
    }
    if (cancelled_) {
        return nullptr;
    }
    std::unique_ptr<PageDownload> download = std::move(downloads_[taken_]);
    ++taken_;
    // The window moved on by one, which a worker may start.
    startable_.notify_all();
    return download;
}

} // namespace tessaly
