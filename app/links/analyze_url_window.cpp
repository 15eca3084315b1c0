#include "links/analyze_url_window.h"

#include "core/tables.h"

namespace tessaly::gui {

AnalyzeUrlWindow::AnalyzeUrlWindow(std::string_view address, QWidget* parent, HttpLimits limits)
    : NetworkStepsWindow(QStringLiteral("Analyze URL"), address,
                         std::make_unique<PageRead>(address, limits), parent)
{
    setObjectName(QStringLiteral("AnalyzeURL:Prepare"));
}

std::int32_t analyzeInWindow(Record& bookmark, Database& database, std::int32_t today,
                             QWidget* parent)
{
    AnalyzeUrlWindow window(bookmark.text(BookmarkField::Location), parent);
    const auto bytes = static_cast<std::int32_t>(window.exec());
    if (bytes == window.read().result()) {
        analyzeBookmark(window.read(), bookmark, database, today);
    } else {
        analyzeBookmark(bytes, window.read().elements(), bookmark, database, today);
    }
    return bytes;
}

} // namespace tessaly::gui
