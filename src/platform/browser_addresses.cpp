#include "platform/browser_addresses.h"

#include "framework/json.h"
#include "framework/record_schema.h"
#include "framework/system_file.h"
#include "framework/utf8.h"

#include <cstring>
#include <filesystem>
#include <lz4.h>

namespace tessaly {

namespace {

constexpr std::size_t kTextWidth = 1024;
constexpr std::string_view kMagic{"mozLz40\0", 8};
// A session store larger than this is no session store.
constexpr std::uint32_t kMaxDecompressed = 256U << 20U;

} // namespace

void addCandidate(std::vector<BrowserCandidate>& candidates, BrowserCandidate candidate)
{
    candidate.title = std::string{utf8::prefix(candidate.title, kTextWidth)};
    // An address whole, up to one character more than an address holds:
    // a longer one is refused when stored, never taken cut.
    candidate.address =
        std::string{utf8::prefix(candidate.address, static_cast<std::size_t>(kAddressWidth) + 1)};
    for (BrowserCandidate& existing : candidates) {
        if (existing.address == candidate.address) {
            existing = std::move(candidate);
            return;
        }
    }
    candidates.push_back(std::move(candidate));
}

std::optional<std::string> readMozLz4(const std::string& path)
{
    std::string raw;
    if (!readWholeFile(path, raw).ok() || raw.size() < 12 ||
        std::string_view{raw}.substr(0, 8) != kMagic) {
        return std::nullopt;
    }
    std::uint32_t size = 0;
    for (int i = 3; i >= 0; --i) {
        size = (size << 8U) | static_cast<unsigned char>(raw[8 + static_cast<std::size_t>(i)]);
    }
    if (size > kMaxDecompressed) {
        return std::nullopt;
    }
    std::string text(size, '\0');
    const int got = LZ4_decompress_safe(raw.data() + 12, text.data(),
                                        static_cast<int>(raw.size() - 12), static_cast<int>(size));
    if (got < 0 || static_cast<std::uint32_t>(got) != size) {
        return std::nullopt;
    }
    return text;
}

std::vector<BrowserCandidate> sessionCandidates(std::string_view json)
{
    std::vector<BrowserCandidate> out;
    const auto session = JsonValue::parse(json);
    if (!session) {
        return out;
    }
    const JsonValue& windows = (*session)["windows"];
    for (std::size_t w = 0; w < windows.size(); ++w) {
        const JsonValue& window = windows[w];
        const JsonValue& tabs = window["tabs"];
        // "selected" and "index" count from 1.
        const auto selected = static_cast<std::size_t>(window["selected"].number());
        const JsonValue& tab = tabs[selected > 0 ? selected - 1 : 0];
        const JsonValue& entries = tab["entries"];
        const auto index = static_cast<std::size_t>(tab["index"].number());
        const JsonValue& entry = entries[index > 0 ? index - 1 : entries.size() - 1];
        const std::string address = entry["url"].string();
        if (!address.empty()) {
            addCandidate(out, {entry["title"].string(), address});
        }
    }
    return out;
}

std::vector<BrowserCandidate> firefoxCandidates(const std::string& home)
{
    std::vector<BrowserCandidate> out;
    std::error_code error;
    const std::filesystem::path profiles = std::filesystem::path(home) / ".mozilla" / "firefox";
    for (const auto& profile : std::filesystem::directory_iterator(profiles, error)) {
        const auto file = profile.path() / "sessionstore-backups" / "recovery.jsonlz4";
        if (const auto text = readMozLz4(file.string())) {
            for (BrowserCandidate& candidate : sessionCandidates(*text)) {
                addCandidate(out, std::move(candidate));
            }
        }
    }
    return out;
}

} // namespace tessaly
