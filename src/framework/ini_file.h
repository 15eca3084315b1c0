#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// An INI file (TESSLY.INI, POSITION.INI, CPCSRPTS.INI, .url shortcuts):
// "[Section]" headers and "Key=Value" lines. Section and key names compare
// without regard to letter case; keys may hold any character but '=' and a
// leading '[' ("SRCF?Browse:1", "Export::Rating"). Lines the program does not
// understand (comments, blank lines, foreign entries) are kept as they are.
class IniFile final {
public:
    IniFile() = default;

    // Reads `path`. A missing file reads as empty and is no error; any other
    // failure returns false with the system's text in `errorText`.
    bool load(const std::string& path, std::string* errorText = nullptr);

    // Parses INI text (LF or CRLF line ends).
    void parse(std::string_view content);

    // The value of `key` in `section`, blanks around it removed; empty when
    // absent. The first section and key of a name win, as they do in readers
    // of such files elsewhere.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Sets a value, replacing the key's line in place or adding it at the end
    // of its section (the section is added at the end of the file if needed).
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    // Removes one key, or a whole section with its keys.
    void removeKey(std::string_view section, std::string_view key);
    void removeSection(std::string_view section);

    std::vector<std::string> sections() const;
    std::vector<std::string> keys(std::string_view section) const;

    // The whole file as text, in the line ends it was read with.
    std::string text() const;

    // Writes the file atomically: a temporary file in the same folder is
    // written, flushed to disk and renamed over `path`, so a crash or a full
    // disk leaves either the old or the new file, never a half-written one.
    // Returns false with the system's text in `errorText` on failure.
    bool save(const std::string& path, std::string* errorText = nullptr) const;

private:
    struct Line {
        enum class Kind { Other, Section, Entry };
        Kind kind = Kind::Other;
        std::string raw;   // the line as read or written, without its line end
        std::string name;  // section name or key, blanks removed
        std::string value; // entry value, blanks removed
    };

    // Index of the first header of `section`, or lines_.size().
    std::size_t findSection(std::string_view section) const;
    // Index one past the last line that belongs to the section at `header`.
    std::size_t sectionEnd(std::size_t header) const;
    std::size_t findKey(std::size_t header, std::string_view key) const;

    std::vector<Line> lines_;
    bool crlf_ = false;
};

// One value by file, section and key, reading the file each time; `fallback`
// when the file, section or key is missing.
std::string readIniValue(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view fallback = {});

// Writes one value, creating the file on first write. False with the system's
// text in `errorText` when the file cannot be read or written; the file on
// disk is then unchanged.
bool writeIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value, std::string* errorText = nullptr);

} // namespace tessaly
