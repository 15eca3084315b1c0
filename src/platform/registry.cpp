#include "platform/registry.h"

#include "framework/system_file.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The value of up to `most` digits of base `base` at `i`; `i` is left after them.
char32_t digitsAt(std::string_view text, std::size_t& i, int base, int most)
{
    char32_t value = 0;
    for (int n = 0; n < most && i < text.size(); ++n, ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
        if (digit >= base) {
            break;
        }
        value = value * static_cast<char32_t>(base) + static_cast<char32_t>(digit);
    }
    return value;
}

// Undoes the escapes of a quoted registry string ("C:\\a" -> "C:\a"). Wine
// writes characters beyond ASCII as UTF-16 units in hex ("Ren\xe9") and
// control characters in octal or as C escapes; they come back as UTF-8.
std::string unescape(std::string_view quoted)
{
    std::string out;
    char32_t highSurrogate = 0;
    for (std::size_t i = 0; i < quoted.size();) {
        char32_t unit = static_cast<unsigned char>(quoted[i++]);
        if (unit == '\\' && i < quoted.size()) {
            const char c = quoted[i];
            if (c == 'x' && i + 1 < quoted.size() &&
                std::isxdigit(static_cast<unsigned char>(quoted[i + 1]))) {
                ++i;
                unit = digitsAt(quoted, i, 16, 4);
            } else if (c >= '0' && c <= '7') {
                unit = digitsAt(quoted, i, 8, 3);
            } else {
                ++i;
                constexpr std::string_view kLetters = "abtnvfre";
                constexpr std::string_view kControls = "\a\b\t\n\v\f\r\x1b";
                const auto letter = kLetters.find(c);
                unit = static_cast<unsigned char>(
                    letter == std::string_view::npos ? c : kControls[letter]);
            }
        } else if (unit >= 0x80) {
            out.push_back(static_cast<char>(unit)); // UTF-8 written as it is
            continue;
        }
        if (unit >= 0xD800 && unit < 0xDC00) {
            highSurrogate = unit;
            continue;
        }
        if (unit >= 0xDC00 && unit < 0xE000 && highSurrogate != 0) {
            unit = 0x10000 + ((highSurrogate - 0xD800) << 10U) + (unit - 0xDC00);
        }
        highSurrogate = 0;
        utf8::append(out, unit);
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

// Expands "%NAME%" references; nullopt when one names nothing known. Values
// may refer to others ("TEMP" to "%USERPROFILE%"), a few levels deep.
std::optional<std::string>
expandWith(std::string_view text, const std::map<std::string, std::string>& environment, int depth)
{
    constexpr int kDeepest = 8;
    std::string out;
    std::size_t start = 0;
    for (std::size_t open = text.find('%'); open != std::string_view::npos;
         open = text.find('%', start)) {
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            break; // a lone "%" is text
        }
        out.append(text.substr(start, open - start));
        const auto found = environment.find(text::upper(text.substr(open + 1, close - open - 1)));
        if (found == environment.end() || depth >= kDeepest) {
            return std::nullopt;
        }
        const auto value = expandWith(found->second, environment, depth + 1);
        if (!value) {
            return std::nullopt;
        }
        out += *value;
        start = close + 1;
    }
    out.append(text.substr(start));
    return out;
}

} // namespace

std::vector<std::pair<std::string, std::string>> readWineRegistryKey(std::string_view content,
                                                                     std::string_view key)
{
    std::vector<std::pair<std::string, std::string>> values;
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
            // "[Software\\...\\Shell Folders] 1700000000": a time stamp follows.
            const auto close = line.rfind(']');
            const std::string section = unescape(
                line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            inKey = text::equalNoCase(text::trim(section), text::trim(key));
            continue;
        }
        if (!inKey || !line.starts_with('"')) {
            continue; // "#time=...", "@=..." and the like
        }
        std::size_t after = 0;
        std::string valueName = unescape(quotedAt(line, 0, after));
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
        values.emplace_back(std::move(valueName), unescape(quotedAt(data, 0, end)));
    }
    return values;
}

std::optional<std::string> readWineRegistryValue(std::string_view content, std::string_view key,
                                                 std::string_view name)
{
    for (const auto& [valueName, value] : readWineRegistryKey(content, key)) {
        if (text::equalNoCase(text::trim(valueName), text::trim(name))) {
            return std::string{utf8::prefix(text::clip(value), kValueWidth)};
        }
    }
    return std::nullopt;
}

namespace {

std::string wineUserName()
{
    if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') {
        return user;
    }
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr) {
        return entry->pw_name;
    }
    return "user";
}

} // namespace

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

std::optional<std::string> RegistryAccessor::expandReferences(std::string_view text) const
{
    if (text.find('%') == std::string_view::npos) {
        return std::string{text};
    }
    // What Wine sets up for every user, then what the user's registry says.
    const std::string user = wineUserName();
    const std::string profile = "C:\\users\\" + user;
    std::map<std::string, std::string> environment = {
        {"ALLUSERSPROFILE", "C:\\ProgramData"},
        {"APPDATA", profile + "\\AppData\\Roaming"},
        {"COMMONPROGRAMFILES", "C:\\Program Files\\Common Files"},
        {"HOMEDRIVE", "C:"},
        {"HOMEPATH", "\\users\\" + user},
        {"LOCALAPPDATA", profile + "\\AppData\\Local"},
        {"PROGRAMDATA", "C:\\ProgramData"},
        {"PROGRAMFILES", "C:\\Program Files"},
        {"PUBLIC", "C:\\users\\Public"},
        {"SYSTEMDRIVE", "C:"},
        {"SYSTEMROOT", "C:\\windows"},
        {"TEMP", profile + "\\AppData\\Local\\Temp"},
        {"TMP", profile + "\\AppData\\Local\\Temp"},
        {"USERNAME", user},
        {"USERPROFILE", profile},
        {"WINDIR", "C:\\windows"},
    };
    std::string content;
    if (readWholeFile(prefix_ + "/user.reg", content).ok()) {
        for (const std::string_view key : {"Environment", "Volatile Environment"}) {
            for (auto& [name, value] : readWineRegistryKey(content, key)) {
                environment[text::upper(text::trim(name))] = std::move(value);
            }
        }
    }
    return expandWith(text, environment, 0);
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
