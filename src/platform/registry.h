#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// Reads values of the user's registry (HKEY_CURRENT_USER). In silent mode
// a failed read shows nothing and gives the caller's default. This build
// knows no registry source yet, so every value reads as absent and callers
// take their defaults.
class RegistryAccessor final {
public:
    explicit RegistryAccessor(bool silent) : silent_(silent) {}

    bool silent() const { return silent_; }
    std::optional<std::string> read(std::string_view key, std::string_view name) const;

private:
    bool silent_;
};

} // namespace tessaly
