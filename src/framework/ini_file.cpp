#include "framework/ini_file.h"

#include "framework/system_file.h"
#include "framework/text.h"

namespace tessaly {

namespace {

bool isNamed(std::string_view a, std::string_view b)
{
    return text::equalNoCase(text::trim(a), text::trim(b));
}

} // namespace

bool IniFile::load(const std::string& path, std::string* errorText)
{
    std::string content;
    const SystemResult result = readWholeFile(path, content);
    lines_.clear();
    crlf_ = false;
    if (!result.ok()) {
        if (result.errorNumber == ENOENT) {
            return true;
        }
        if (errorText != nullptr) {
            *errorText = result.text;
        }
        return false;
    }
    parse(content);
    return true;
}

void IniFile::parse(std::string_view content)
{
    lines_.clear();
    crlf_ = content.find("\r\n") != std::string_view::npos;
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string_view::npos) {
            end = content.size();
        }
        std::string_view raw = content.substr(start, end - start);
        // Stray carriage returns at a line's end are line-end debris, not
        // content; keeping them would change the file's line ends on rewrite.
        while (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        Line line;
        line.raw = std::string{raw};
        const std::string_view trimmed = text::trim(raw);
        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
            line.kind = Line::Kind::Section;
            line.name = std::string{text::trim(trimmed.substr(1, trimmed.size() - 2))};
        } else if (const auto eq = trimmed.find('=');
                   eq != std::string_view::npos && eq > 0 && trimmed.front() != ';') {
            line.kind = Line::Kind::Entry;
            line.name = std::string{text::trim(trimmed.substr(0, eq))};
            line.value = std::string{text::trim(trimmed.substr(eq + 1))};
        }
        lines_.push_back(std::move(line));
        start = end + 1;
    }
}

std::size_t IniFile::findSection(std::string_view section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Line::Kind::Section && isNamed(lines_[i].name, section)) {
            return i;
        }
    }
    return lines_.size();
}

std::size_t IniFile::sectionEnd(std::size_t header) const
{
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Line::Kind::Section) {
        ++i;
    }
    return i;
}

std::size_t IniFile::findKey(std::size_t header, std::string_view key) const
{
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == Line::Kind::Entry && isNamed(lines_[i].name, key)) {
            return i;
        }
    }
    return lines_.size();
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    const std::size_t header = findSection(section);
    if (header == lines_.size()) {
        return std::nullopt;
    }
    const std::size_t index = findKey(header, key);
    if (index == lines_.size()) {
        return std::nullopt;
    }
    return lines_[index].value;
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string_view cleanKey = text::trim(key);
    const std::string_view cleanValue = text::trim(value);
    std::size_t header = findSection(section);
    if (header == lines_.size()) {
        if (!lines_.empty() && !text::trim(lines_.back().raw).empty()) {
            lines_.push_back(Line{});
        }
        Line head;
        head.kind = Line::Kind::Section;
        head.name = std::string{text::trim(section)};
        head.raw = "[" + head.name + "]";
        lines_.push_back(std::move(head));
        header = lines_.size() - 1;
    }
    std::size_t index = findKey(header, cleanKey);
    if (index == lines_.size()) {
        // After the section's last non-blank line, so a blank line that
        // separates it from the next section stays where it was.
        std::size_t insertAt = sectionEnd(header);
        while (insertAt > header + 1 && text::trim(lines_[insertAt - 1].raw).empty()) {
            --insertAt;
        }
        Line entry;
        entry.kind = Line::Kind::Entry;
        entry.name = std::string{cleanKey};
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
        index = insertAt;
    }
    Line& line = lines_[index];
    line.value = std::string{cleanValue};
    line.raw = line.name + "=" + line.value;
}

void IniFile::removeKey(std::string_view section, std::string_view key)
{
    const std::size_t header = findSection(section);
    if (header == lines_.size()) {
        return;
    }
    const std::size_t index = findKey(header, key);
    if (index != lines_.size()) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

void IniFile::removeSection(std::string_view section)
{
    const std::size_t header = findSection(section);
    if (header == lines_.size()) {
        return;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(sectionEnd(header)));
}

std::vector<std::string> IniFile::sections() const
{
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        if (line.kind == Line::Kind::Section) {
            names.push_back(line.name);
        }
    }
    return names;
}

std::vector<std::string> IniFile::keys(std::string_view section) const
{
    std::vector<std::string> names;
    const std::size_t header = findSection(section);
    if (header == lines_.size()) {
        return names;
    }
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == Line::Kind::Entry) {
            names.push_back(lines_[i].name);
        }
    }
    return names;
}

std::string IniFile::text() const
{
    std::string out;
    const std::string_view lineEnd = crlf_ ? "\r\n" : "\n";
    for (const Line& line : lines_) {
        out += line.raw;
        out += lineEnd;
    }
    return out;
}

bool IniFile::save(const std::string& path, std::string* errorText) const
{
    const SystemResult result = writeFileAtomically(path, text());
    if (!result.ok() && errorText != nullptr) {
        *errorText = result.text;
    }
    return result.ok();
}

std::string readIniValue(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view fallback)
{
    IniFile file;
    if (!file.load(path)) {
        return std::string{fallback};
    }
    return file.value(section, key).value_or(std::string{fallback});
}

bool writeIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value, std::string* errorText)
{
    IniFile file;
    if (!file.load(path, errorText)) {
        return false;
    }
    file.setValue(section, key, value);
    return file.save(path, errorText);
}

} // namespace tessaly
