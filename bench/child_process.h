#pragma once

// What the benchmarks that time whole programs share: a scratch folder and
// a child process timed with its peak memory.
#include "scratch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tessaly::bench {

struct Run {
    double seconds = 0;
    double mib = 0;
    int status = -1;
};

// Runs a program with `environment` added and its output discarded.
inline Run runProgram(const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment = {})
{
    std::fflush(stdout); // or the child writes what is still buffered
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        for (const std::string& variable : environment) {
            ::putenv(const_cast<char*>(variable.c_str()));
        }
        std::freopen("/dev/null", "r", stdin);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.mib = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    return run;
}

// The fastest of `runs` runs of a program, with the highest peak memory and
// the first failing status: one run of a short program is at the mercy of
// whatever else the machine does in that moment. `before` runs ahead of each
// (to remove an output a program refuses to write over).
template <typename Before>
Run fastestOf(int runs, const std::vector<std::string>& arguments,
              const std::vector<std::string>& environment, Before before)
{
    Run best;
    for (int i = 0; i < runs; ++i) {
        before();
        const Run run = runProgram(arguments, environment);
        if (i == 0 || run.seconds < best.seconds) {
            best.seconds = run.seconds;
        }
        best.mib = std::max(best.mib, run.mib);
        if (i == 0 || (best.status == 0 && run.status != 0)) {
            best.status = run.status;
        }
    }
    return best;
}

inline Run fastestOf(int runs, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment = {})
{
    return fastestOf(runs, arguments, environment, [] {});
}

} // namespace tessaly::bench
