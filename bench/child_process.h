#pragma once

// What the benchmarks that time whole programs share: a scratch folder and
// a child process timed with its peak memory.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tessaly::bench {

// Where the benchmarks write: $TESSALY_BENCH_DIR, else the folder the build
// names (TESSALY_BENCH_SCRATCH, under the build tree), else /tmp. A disk-
// backed folder, as a user's data folder is: on a tmpfs every write is free.
inline std::string scratchBase()
{
    const char* chosen = std::getenv("TESSALY_BENCH_DIR");
#ifdef TESSALY_BENCH_SCRATCH
    std::string base = chosen != nullptr && *chosen != '\0' ? chosen : TESSALY_BENCH_SCRATCH;
#else
    std::string base = chosen != nullptr && *chosen != '\0' ? chosen : "/tmp";
#endif
    std::filesystem::create_directories(base);
    return base;
}

// The file system type of `path` as the figures' note gives it.
inline std::string fileSystemType(const std::string& path)
{
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0) {
        return "unknown";
    }
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53UL:
        return "ext4";
    case 0x01021994UL:
        return "tmpfs (writes cost nothing: set TESSALY_BENCH_DIR to a disk)";
    case 0x58465342UL:
        return "xfs";
    case 0x9123683EUL:
        return "btrfs";
    case 0x794C7630UL:
        return "overlayfs";
    default: {
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%lx", static_cast<unsigned long>(info.f_type));
        return hex;
    }
    }
}

// A fresh folder under scratchBase(), removed with all it holds.
struct Folder {
    std::string path;
    explicit Folder(const std::string& name = "tessaly-bench")
    {
        std::string pattern = scratchBase() + "/" + name + "-XXXXXX";
        path = ::mkdtemp(pattern.data());
    }
    ~Folder() { std::filesystem::remove_all(path); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
};

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

} // namespace tessaly::bench
