#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

class Record;

// What an import reads: the wizard's six types, and two that read a
// browser's own profile.
enum class ImportType { Favorites, Netscape, Html, Csv, Ascii, Url, Firefox, Chromium, Xbel };

// How an imported bookmark gets its category.
enum class CategoryAssignment { Guess, Selected, Ask, None };

// The names stored in TESSLY.INI ("IE", "Netscape", ..., "Firefox",
// "Chromium", "XBEL"; "Guess", "Selected", "Ask", "None") and read back in any
// letter case; nothing for a name that is none of them.
std::string_view typeName(ImportType type);
std::optional<ImportType> parseType(std::string_view name);
std::string_view assignmentName(CategoryAssignment assignment);
std::optional<CategoryAssignment> parseAssignment(std::string_view name);

// The import choices kept in TESSLY.INI, section "Import", between runs.
struct ImportSettings {
    ImportType type = ImportType::Favorites;
    std::string file;
    CategoryAssignment assignment = CategoryAssignment::Guess;
    std::string category;
    std::string url;
    int followLinks = 0; // only shown and kept: no import reads it

    // Reads the six keys of `iniPath` (defaults for blank or unknown ones).
    static ImportSettings read(const std::string& iniPath);
    // Writes them back; false with the system's words in `error` when the
    // file cannot be written.
    bool write(const std::string& iniPath, std::string* error = nullptr) const;
};

// Asks the user for one bookmark's category ("Category Assignment"): the
// bookmark being imported and the importer's best guess; the category
// chosen, or nothing when the user cancelled.
using AskCategory =
    std::function<std::optional<std::string>(const Record& bookmark, std::string_view guess)>;

// One import run.
struct ImportRequest {
    ImportType type = ImportType::Favorites;
    std::string source; // a file, a folder or a profile; empty: the type's default
    CategoryAssignment assignment = CategoryAssignment::Guess;
    std::string category; // for CategoryAssignment::Selected
    AskCategory ask;      // for CategoryAssignment::Ask
    // How long reading a browser's database may take before it is taken
    // for one that never ends (a table that is an endless view).
    int browserReadSeconds = 120;
};

} // namespace tessaly
