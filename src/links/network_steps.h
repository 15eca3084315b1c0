#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// The steps of a network window (the link test, the page read for
// analysis): one runs per tick of the window's timer, and what each leaves
// to show is added to the log. The step that waits on the network touches
// no database file, so a window may run it on a worker; cancel() from any
// thread ends it at once.
class NetworkSteps {
public:
    static constexpr int kFinished = 10;
    static constexpr int kCancelled = -1; // the result of a cancelled run

    virtual ~NetworkSteps() = default;
    NetworkSteps(const NetworkSteps&) = delete;
    NetworkSteps& operator=(const NetworkSteps&) = delete;

    // Runs the next step; false once the run has finished (or was
    // cancelled).
    bool runStep();
    // Runs every step that is left and returns the result.
    int run();
    // Runs the steps up to and including the one that waits on the network
    // (for a worker: none of them touches a database file).
    void runThroughNetwork();
    // Makes the run end with kCancelled: no further step runs and the
    // running network call returns at once.
    virtual void cancel();

    // Whether the next step is the one that opens the address.
    bool nextStepWaitsOnNetwork() const { return step_ == 1 && !cancelled_; }
    int step() const { return step_; }
    int result() const { return result_; }
    const std::vector<std::string>& log() const { return log_; }
    // Bytes of the answer received so far; may be read from another
    // thread while they arrive.
    virtual std::int64_t bytesSoFar() const { return 0; }
    // The step whose work the arriving bytes are (reading a whole page is
    // the last step's, though the bytes arrive while the address opens);
    // 0 when the window shows the step under way.
    virtual int stepOfArrivingBytes() const { return 0; }

protected:
    explicit NetworkSteps(int initialResult) : result_(initialResult) {}
    // Runs step `step` (from 1), leaving in response_ what it has to show.
    virtual void doStep(int step) = 0;
    void addLog(std::string_view text);

    std::atomic<bool> cancelled_{false};
    std::atomic<int> step_ = 0;
    std::atomic<int> result_;
    std::string response_; // what the running step leaves to show
    std::vector<std::string> log_;
};

} // namespace tessaly
