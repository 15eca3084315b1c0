#pragma once

#include <string>

namespace tessaly::test {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempFolder final {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Writes `content` to `name` inside the folder; returns the full path.
    std::string write(const std::string& name, const std::string& content) const;
    // The content of `name`, or empty.
    std::string read(const std::string& name) const;

private:
    std::string path_;
};

} // namespace tessaly::test
