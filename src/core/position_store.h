#pragma once

#include "framework/ini_file.h"

#include <mutex>
#include <string>
#include <vector>

namespace tessaly {

// The window-position store on .\POSITION.INI: windows keep their position
// and size under their procedure names, list windows their column layouts.
// Values are kept in memory and written when the store closes; the store
// lists the sections it wrote in "__Dont_Touch_Me__" ("Sectors" holds the
// count, "Sector1", "Sector2", ... the names). Thread-safe.
class PositionStore final {
public:
    explicit PositionStore(std::string path = "POSITION.INI");

    std::string value(std::string_view section, std::string_view key,
                      std::string_view fallback = {}) const;
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    // The sections written through this store, in the order first written.
    std::vector<std::string> sectors() const;

    // Writes the pending sections and the bookkeeping; false with the
    // system's text when the file cannot be written (nothing is lost on
    // disk: the old file stays whole).
    bool close(std::string* errorText = nullptr);

private:
    static constexpr std::string_view kBookkeeping = "__Dont_Touch_Me__";

    std::string path_;
    mutable std::mutex mutex_;
    IniFile ini_;
    std::vector<std::string> sectors_;
    bool dirty_ = false;
};

} // namespace tessaly
