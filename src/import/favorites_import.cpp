// The "IE" type: Internet shortcuts of a Favorites folder tree, with their
// folders as categories.
#include "core/tables.h"
#include "framework/system_file.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "import/import_readers.h"
#include "import/import_sink.h"
#include "import/markup.h"
#include "links/favorites.h"

#include <cerrno>
#include <sys/stat.h>

namespace tessaly {

namespace {

constexpr std::string_view kRootCategory = "Internet Explorer";
constexpr std::size_t kCategoryGrowsBelow = 25;

// The category of a shortcut from the folders of its relative path, which
// leave the description as they go: "News/Daily/Paper.url" gives
// "News: Daily" and "Paper.url". Folders are added while the category is
// shorter than 25 characters; deeper ones leave the description all the same.
std::string folderCategory(std::string& description)
{
    std::string category{kRootCategory};
    for (std::size_t slash = description.find_first_of("/\\"); slash != std::string::npos;
         slash = description.find_first_of("/\\")) {
        const std::string folder = description.substr(0, slash);
        if (category == kRootCategory) {
            category = folder;
        } else if (utf8::length(text::clip(category)) < kCategoryGrowsBelow) {
            category = std::string{text::clip(category)} + ": " + folder;
        }
        description.erase(0, slash + 1);
    }
    return category;
}

} // namespace

ImportSummary importFavorites(Database& database, UiPort& ui, const ImportRequest& request,
                              const std::string& favoritesFolder)
{
    ImportSummary summary;
    const std::string folder{text::clip(request.source.empty() ? favoritesFolder : request.source)};
    // A folder the user named must be there; the Favorites folder of the
    // settings may be missing, which imports nothing.
    struct stat info {};
    if (!request.source.empty() && (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) {
        summary.sourceError = folder + (::stat(folder.c_str(), &info) != 0
                                            ? ": " + SystemResult::fromErrno(errno).text
                                            : ": is not a folder");
        return summary;
    }
    // The Favorites import keeps a shortcut's folders when the user cancels
    // a question, and under "None" gives no category (and makes none).
    ImportSink sink{database, ui, request, CategoryRules{{}, true, false}};
    if (!sink.begin("Searching for URL files in: " + folder, "Searching MSIE Favorites...")) {
        summary.failed = true;
        return summary;
    }
    std::vector<ShortcutEntry> list;
    walkFavorites(folder, list);
    prepareShortcutList(folder, list);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const ShortcutEntry& entry = list[i];
        if (!sink.keepGoing(static_cast<double>(i) / static_cast<double>(list.size()),
                            "Importing " + std::string{text::clip(entry.address)})) {
            break;
        }
        if (text::trim(entry.address).empty()) {
            continue; // not a shortcut, or one without an address
        }
        std::string description = entry.path;
        const std::string category = folderCategory(description);
        if (const std::size_t ending = markup::findNoCase(description, ".url");
            ending != std::string::npos) {
            description.erase(ending);
        }
        Record bookmark{bookmarkTable()};
        sink.setText(bookmark, BookmarkField::Location, text::trim(entry.address));
        sink.setText(bookmark, BookmarkField::Description, description);
        bookmark.setText(BookmarkField::OriginalFilename, folder + "/" + entry.path);
        if (sink.add(bookmark, category) == AddResult::Failed) {
            break;
        }
    }
    return sink.summarize(summary);
}

} // namespace tessaly
