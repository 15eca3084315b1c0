#include "import/importer.h"

#include "framework/record_schema.h"

namespace tessaly {

namespace {

std::string countOf(int n, std::string_view one, std::string_view many)
{
    return std::to_string(n) + " " + std::string{n == 1 ? one : many};
}

} // namespace

std::string skippedText(const ImportSummary& summary)
{
    if (summary.skippedTotal() == 0) {
        return {};
    }
    std::string line = std::to_string(summary.skippedTotal()) + " skipped:";
    const char* separator = " ";
    for (const auto& [reason, count] : summary.skipped) {
        if (count == 0) {
            continue;
        }
        line += separator;
        separator = ", ";
        switch (reason) {
        case SkipReason::BrowserQuery:
            line += countOf(count, "browser query", "browser queries");
            break;
        case SkipReason::NoAddress:
            line += countOf(count, "blank or \"#\" address", "blank or \"#\" addresses");
            break;
        case SkipReason::Unreadable:
            line += countOf(count, "unreadable row", "unreadable rows");
            break;
        case SkipReason::TooLong:
            line += countOf(
                count, "address longer than " + std::string{kAddressWidthText} + " characters",
                "addresses longer than " + std::string{kAddressWidthText} + " characters");
            break;
        }
    }
    return line + ".";
}

std::string cutText(const ImportSummary& summary)
{
    if (summary.cut.empty()) {
        return {};
    }
    std::string text = "Cut to fit their fields:";
    const char* separator = " ";
    for (const auto& [field, count] : summary.cut) {
        text += separator + field + " in " + countOf(count, "bookmark", "bookmarks");
        separator = ", ";
    }
    return text + ".";
}

int ImportSummary::skippedTotal() const
{
    int total = 0;
    for (const auto& [reason, count] : skipped) {
        total += count;
    }
    return total;
}

void ImportSummary::note(std::string what, std::string_view location)
{
    if (notes.size() < kMostNotes) {
        notes.push_back({std::move(what), std::string{location}});
    }
}

std::string describeImport(const ImportSummary& summary, std::string_view firstLine)
{
    std::string text{firstLine};
    if (summary.alreadyStored != 0) {
        text += "\n" + std::to_string(summary.alreadyStored) +
                (summary.alreadyStored == 1 ? " was" : " were") + " stored already.";
    }
    for (const std::string& line : {skippedText(summary), cutText(summary)}) {
        if (!line.empty()) {
            text += "\n" + line;
        }
    }
    if (summary.linesCut != 0) {
        text += "\n" + countOf(summary.linesCut, "line", "lines") +
                " longer than 16 MiB read only that far.";
    }
    return text;
}

std::string describeNote(const ImportNote& note)
{
    return note.what + ": " + (note.location.empty() ? "(blank)" : note.location);
}

std::string importDetails(const ImportSummary& summary)
{
    std::string details;
    for (const ImportNote& note : summary.notes) {
        details += describeNote(note) + "\n";
    }
    return details;
}

ImportSummary runImport(Database& database, UiPort& ui, const ImportRequest& request,
                        const std::string& favoritesFolder, bool tellUser)
{
    ImportSummary summary;
    switch (request.type) {
    case ImportType::Favorites:
        summary = importFavorites(database, ui, request, favoritesFolder);
        break;
    case ImportType::Netscape:
    case ImportType::Html:
        summary = importBookmarkFile(database, ui, request);
        break;
    case ImportType::Csv:
    case ImportType::Ascii:
        summary = importTextFile(database, ui, request);
        break;
    case ImportType::Firefox:
        summary = importFirefox(database, ui, request);
        break;
    case ImportType::Chromium:
        summary = importChromium(database, ui, request);
        break;
    case ImportType::Xbel:
        summary = importXbel(database, ui, request);
        break;
    case ImportType::Url:
        return summary;
    }
    if (!tellUser || summary.failed) {
        return summary; // a failed write has said so already
    }
    const std::string urls = std::to_string(summary.imported) + " URL(s) imported.";
    if (!summary.sourceError.empty()) {
        // A source damaged part way still says what it gave before.
        ui.showMessage({"Import Error",
                        summary.damaged
                            ? summary.sourceError + ".\n" +
                                  describeImport(summary, std::to_string(summary.imported) +
                                                              " URL(s) were imported before it.")
                            : "Nothing could be imported from " + summary.sourceError + ".",
                        MessageIcon::Exclamation, ButtonOk, ButtonOk, importDetails(summary)});
        return summary;
    }
    // Every run ends with its account, also one that brought nothing or
    // was cancelled: a progress window that vanishes says nothing.
    const std::string first =
        (summary.cancelled ? std::string{"Import cancelled; what arrived before is kept.\n"}
                           : std::string{}) +
        (request.type == ImportType::Favorites
             ? std::to_string(summary.imported) + " bookmark(s) imported."
             : urls);
    ui.showMessage({"Complete", describeImport(summary, first), MessageIcon::Information, ButtonOk,
                    ButtonOk, importDetails(summary)});
    return summary;
}

} // namespace tessaly
