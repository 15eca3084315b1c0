#include "core/position_store.h"

#include "framework/picture.h"
#include "framework/text.h"

#include <algorithm>

namespace tessaly {

PositionStore::PositionStore(std::string path) : path_(std::move(path))
{
    ini_.load(path_);
    // A damaged count must not send the store round a billion times.
    const double count = std::clamp(
        parseNumber(ini_.value(kBookkeeping, "Sectors").value_or("0")).value_or(0.0), 0.0, 10000.0);
    for (int i = 1; i <= count; ++i) {
        if (auto name = ini_.value(kBookkeeping, "Sector" + std::to_string(i))) {
            sectors_.push_back(*name);
        }
    }
}

std::string PositionStore::value(std::string_view section, std::string_view key,
                                 std::string_view fallback) const
{
    const std::lock_guard lock{mutex_};
    return ini_.value(section, key).value_or(std::string{fallback});
}

void PositionStore::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    const std::lock_guard lock{mutex_};
    ini_.setValue(section, key, value);
    const bool known = std::any_of(sectors_.begin(), sectors_.end(), [&](const std::string& s) {
        return text::equalNoCase(s, section);
    });
    if (!known) {
        sectors_.emplace_back(section);
    }
    dirty_ = true;
}

std::vector<std::string> PositionStore::sectors() const
{
    const std::lock_guard lock{mutex_};
    return sectors_;
}

bool PositionStore::close(std::string* errorText)
{
    const std::lock_guard lock{mutex_};
    if (!dirty_) {
        return true;
    }
    ini_.removeSection(kBookkeeping);
    ini_.setValue(kBookkeeping, "Sectors", std::to_string(sectors_.size()));
    for (std::size_t i = 0; i < sectors_.size(); ++i) {
        ini_.setValue(kBookkeeping, "Sector" + std::to_string(i + 1), sectors_[i]);
    }
    if (!ini_.save(path_, errorText)) {
        return false;
    }
    dirty_ = false;
    return true;
}

} // namespace tessaly
