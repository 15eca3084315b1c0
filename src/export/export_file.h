#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

class Database;
class UiPort;

// The choices of one export as TESSLY.INI keeps them (section "Export"):
// type "Simple", "Table", "Frame", "CSV", "ASCII" or "Netscape"; order
// "Location", "Description", "Keyword", "CatDesc", "CatLoc" or "Rating";
// assignment "All", "Selected" or "Query". Texts are compared with
// trailing blanks removed, names of types and orders in any letter case.
struct ExportSettings {
    std::string type = "Table";
    std::string order = "Location";
    std::string assignment = "All";
    std::string category; // for "Selected"
    std::string file;     // the main output file
    std::string pageTitle;
    bool rating = false;
    bool siteInfo = false;
    // Shown, stored and restored by the wizard; no format reads them.
    bool keyword = false;
    bool otherFields = false;
    // "Use pre-formatted HTML": the three HTML types follow the user's
    // templates (Default_*.htm in the data folder) instead of the built-in
    // styles. `templateFile`, when it names a file, is the main template.
    bool preformatted = false;
    std::string templateFile;
    std::string metaKeywords;
    std::string metaDescription;

    // The wizard's choices as TESSLY.INI (at `iniPath`) holds them, each cut
    // to its width, with the defaults for what is blank or unknown.
    static ExportSettings read(const std::string& iniPath);
    // Writes every choice back, the file also as the one last used with
    // the type; false with `error` when the file could not be written.
    bool write(const std::string& iniPath, std::string* error = nullptr) const;
    // The file last used with `type` ("Export:File:" + type), blank when none.
    static std::string lastFileFor(const std::string& iniPath, std::string_view type);
};

// What an export takes from the program around it rather than from the
// user's choices.
struct ExportContext {
    // "BodyInFrame" of TESSLY.INI is 1: the Frame style's category pages
    // leave out their body tags.
    bool bodyInFrame = false;
    // The day the pages say they were made; 0 for today.
    std::int32_t today = 0;
    // Seconds since 1970 written as the browsers' ADD_DATE; 0 for now.
    std::int64_t now = 0;
    // For "Query": the filter when it is already known (the command
    // line's); without one the query editor asks under the tag "EXPORT".
    std::optional<std::string> query;
};

struct ExportResult {
    bool done = false;              // every file written and in place
    bool cancelled = false;         // Cancel ended the reading early (files still written)
    std::string message;            // what the user was told when not done
    std::vector<std::string> files; // the files written, the main file first
    std::int64_t exported = 0;      // bookmarks written
};

// Writes the bookmarks chosen by `settings` in the type's format, reading
// them in the order's key and reporting progress ("Processing Records")
// through `ui`, whose Cancel ends the reading but still writes the pages'
// closing lines. Each file is written under a temporary name beside it and
// renamed into place only when the whole run succeeded: a failure leaves
// every earlier file as it stood, and is told to the user ("Error adding to
// " + name + ": " + reason) rather than ending the program. Uses the
// database's files on the calling thread.
ExportResult exportFile(Database& database, UiPort& ui, const ExportSettings& settings,
                        const ExportContext& context = {});

// The stored spelling ("Table", "CatDesc") of a type or order given in
// any letter case; empty when it is none of them.
std::string storedTypeName(std::string_view given);
std::string storedOrderName(std::string_view given);

// The names of the Frame style's pages: `file` with its name (not its
// folder) in lower case up to the first ".htm", and that without its folder.
struct ExportNames {
    std::string base;
    std::string stem;
};
ExportNames exportNames(const std::string& file);

} // namespace tessaly
