#pragma once

// Where the benchmarks that write put their files: $TESSALY_BENCH_DIR, else
// a folder under the build tree. Both are on a disk, as a user's data folder
// is; a folder in memory (tmpfs) makes every sync free and the figures
// meaningless.
#include <sys/vfs.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace tessaly::bench {

// The scratch folder itself, made when missing.
inline std::string scratchBase()
{
    const char* chosen = std::getenv("TESSALY_BENCH_DIR");
    std::string base = chosen != nullptr && *chosen != '\0' ? chosen : TESSALY_BENCH_SCRATCH;
    std::filesystem::create_directories(base);
    return base;
}

// The file system type of `path`, as the benchmarks print it.
inline std::string fileSystemType(const std::string& path)
{
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0) {
        return "unknown";
    }
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53:
        return "ext2/3/4";
    case 0x01021994:
        return "tmpfs (in memory: syncs cost nothing here)";
    case 0x9123683E:
        return "btrfs";
    case 0x58465342:
        return "xfs";
    case 0x794C7630:
        return "overlayfs";
    default:
        return "type 0x" + [&] {
            char hex[32];
            std::snprintf(hex, sizeof hex, "%lx", static_cast<unsigned long>(info.f_type));
            return std::string{hex};
        }();
    }
}

// A fresh folder under the benchmarks' scratch folder, removed with all it
// holds.
struct ScratchFolder {
    std::string path;
    explicit ScratchFolder(const std::string& name = "tessaly-bench")
    {
        std::string pattern = scratchBase() + "/" + name + "-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            path = pattern;
        }
    }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
};

} // namespace tessaly::bench
