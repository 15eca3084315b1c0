#include "import/importer.h"

namespace tessaly {

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
    case ImportType::Url:
        return summary;
    }
    if (!tellUser || summary.failed) {
        return summary; // a failed write has said so already
    }
    if (!summary.sourceError.empty()) {
        ui.showMessage({"Import Error",
                        "Nothing could be imported from " + summary.sourceError + ".",
                        MessageIcon::Exclamation, ButtonOk, ButtonOk});
        return summary;
    }
    if (request.type == ImportType::Favorites) {
        ui.showMessage({"Complete", std::to_string(summary.imported) + " bookmark(s) imported.",
                        MessageIcon::Information, ButtonOk, ButtonOk});
    } else if (request.type != ImportType::Html && summary.imported != 0) {
        ui.showMessage({"Complete", std::to_string(summary.imported) + " URL(s) imported.",
                        MessageIcon::Information, ButtonOk, ButtonOk});
    }
    return summary;
}

} // namespace tessaly
