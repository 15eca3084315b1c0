// The type "XBEL": the bookmark exchange file of KDE and of the browsers'
// sync extension. Folders become categories as a browser's bookmark file's
// do: each bookmark gets the name of the folder it stands in.
#include "core/tables.h"
#include "framework/text.h"
#include "import/import_file.h"
#include "import/import_readers.h"
#include "import/import_sink.h"
#include "sync/xbel_document.h"

namespace tessaly {

ImportSummary importXbel(Database& database, UiPort& ui, const ImportRequest& request)
{
    ImportSummary summary;
    std::string content;
    if (const SystemResult read =
            readWholeSource(request.source, content, XbelDocument::kLargestFile);
        !read.ok()) {
        summary.sourceError = request.source + ": " + read.text;
        return summary;
    }
    std::string error;
    const std::optional<XbelDocument> document = XbelDocument::parse(content, error);
    content.clear();
    if (!document) {
        summary.sourceError = request.source + ": " + error;
        return summary;
    }
    ImportSink sink{database, ui, request};
    if (!sink.begin({})) {
        summary.failed = true;
        return summary;
    }
    const auto& items = document->items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const XbelDocument::Item& item = items[i];
        if (!sink.keepGoing(static_cast<double>(i) / static_cast<double>(items.size()))) {
            break;
        }
        if (item.folder) {
            continue;
        }
        const std::string location{text::trim(item.href)};
        // "place:" is a browser's stored search, not an address.
        if (location.empty() || location.starts_with("place:")) {
            sink.skip(location.empty() ? SkipReason::NoAddress : SkipReason::BrowserQuery,
                      location);
            continue;
        }
        Record bookmark{bookmarkTable()};
        sink.setText(bookmark, BookmarkField::Location, location);
        const std::string_view title = text::trim(item.title);
        sink.setText(bookmark, BookmarkField::Description, title.empty() ? location : title);
        // The note a browser or KDE keeps with the bookmark, as the
        // bookmark-file import keeps a <DD>.
        if (const std::string_view note = text::trim(item.desc); !note.empty()) {
            sink.setText(bookmark, BookmarkField::SiteInfo, note);
        }
        sink.setText(bookmark, BookmarkField::OriginalFilename, request.source);
        // Whole: a folder's title longer than a category is cut where the
        // import counts the cut.
        const std::string category =
            item.parent < 0
                ? std::string{}
                : std::string{text::trim(items[static_cast<std::size_t>(item.parent)].title)};
        sink.add(bookmark, category);
    }
    return sink.summarize(summary);
}

} // namespace tessaly
