#include "import/import_file.h"

#include <cerrno>
#include <sys/stat.h>

namespace tessaly {

std::string notASource(const std::string& path)
{
    // stat, not open: opening a named pipe waits for a writer.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return SystemResult::fromErrno(errno).text;
    }
    if (S_ISDIR(info.st_mode)) {
        return "is a folder";
    }
    return S_ISREG(info.st_mode) ? std::string{} : std::string{"is not a regular file"};
}

SystemResult readWholeSource(const std::string& path, std::string& content, std::size_t maxBytes)
{
    content.clear();
    if (std::string why = notASource(path); !why.empty()) {
        SystemResult refused = SystemResult::fromErrno(EINVAL);
        refused.text = std::move(why);
        return refused;
    }
    return readWholeFile(path, content, maxBytes);
}

} // namespace tessaly
