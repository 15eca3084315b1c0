#include "platform/registry.h"

#include "framework/system_file.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

namespace tessaly {

namespace {

constexpr std::size_t kValueWidth = 255;

std::string defaultPrefix()
{
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0') {
        return prefix;
    }
    const char* home = std::getenv("HOME");
    return std::string{home != nullptr ? home : "."} + "/.wine";
}

// Undoes the escapes of a quoted registry string ("C:\\\\a" -> "C:\\a").
std::string unescape(std::string_view quoted)
{
    std::string out;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '\\' && i + 1 < quoted.size()) {
            c = quoted[++i];
            if (c == 'n') {
                c = '\n';
            } else if (c == 't') {
                c = '\t';
            } else if (c == '0') {
                c = '\0';
            }
        }
        out.push_back(c);
    }
    return out;
}

// The text between the quotes that open at `start`, escapes kept; `end` is
// left after the closing quote.
std::string_view quotedAt(std::string_view line, std::size_t start, std::size_t& end)
{
    std::size_t i = start + 1;
    while (i < line.size() && line[i] != '"') {
        i += line[i] == '\\' ? 2 : 1;
    }
    end = std::min(i + 1, line.size());
    return line.substr(start + 1, std::min(i, line.size()) - start - 1);
}

bool isDirectory(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::optional<std::string> readWineRegistryValue(std::string_view content, std::string_view key,
                                                 std::string_view name)
{
    bool inKey = false;
    std::size_t start = 0;
    while (start < content.size()) {
        auto stop = content.find('\n', start);
        if (stop == std::string_view::npos) {
            stop = content.size();
        }
        std::string_view line = text::trim(content.substr(start, stop - start));
        start = stop + 1;
        if (line.starts_with('[')) {
            const auto close = line.rfind(']');
            const std::string section = unescape(
                line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            inKey = text::equalNoCase(text::trim(section), text::trim(key));
            continue;
        }
        if (!inKey || !line.starts_with('"')) {
            continue;
        }
        std::size_t after = 0;
        const std::string valueName = unescape(quotedAt(line, 0, after));
        if (!text::equalNoCase(text::trim(valueName), text::trim(name))) {
            continue;
        }
        std::string_view data = line.substr(after);
        if (!data.starts_with('=')) {
            continue;
        }
        data.remove_prefix(1);
        if (data.starts_with("str(2):") || data.starts_with("str(7):")) {
            data.remove_prefix(7);
        }
        if (!data.starts_with('"')) {
            continue; // dwords and binary data are no texts
        }
        std::size_t end = 0;
        const std::string value = unescape(quotedAt(data, 0, end));
        return std::string{utf8::prefix(text::clip(value), kValueWidth)};
    }
    return std::nullopt;
}

RegistryAccessor::RegistryAccessor(bool silent, std::string prefix)
    : silent_(silent), prefix_(prefix.empty() ? defaultPrefix() : std::move(prefix))
{}

std::string RegistryAccessor::read(std::string_view key, std::string_view name,
                                   std::string_view fallback) const
{
    std::string content;
    if (!readWholeFile(prefix_ + "/user.reg", content).ok()) {
        return std::string{fallback};
    }
    return readWineRegistryValue(content, key, name).value_or(std::string{fallback});
}

std::string RegistryAccessor::mapPath(std::string_view windowsPath) const
{
    const std::string_view path = text::trim(windowsPath);
    if (path.size() < 2 || path[1] != ':' || (path[0] != 'C' && path[0] != 'c')) {
        return std::string{windowsPath};
    }
    const std::string driveC = prefix_ + "/drive_c";
    if (!isDirectory(driveC)) {
        return std::string{windowsPath};
    }
    std::string rest;
    for (const char c : path.substr(2)) {
        rest.push_back(c == '\\' ? '/' : c);
    }
    if (rest.empty() || rest.front() != '/') {
        rest = "/" + rest;
    }
    return driveC + rest;
}

} // namespace tessaly
