#pragma once

#include "core/file_version.h"
#include "core/tables.h"
#include "framework/utf8.h"
#include "import/importer.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace tessaly::test {

// Any bytes as an import source of every file type: the import ends without
// a crash or a failed write, and what it stored is well-formed UTF-8 with a
// location that is neither blank nor a place in a page. Aborts otherwise, so
// the bounded test and the libFuzzer target share it.
inline void checkImportOf(std::string_view bytes)
{
    static const bool registered = [] {
        FileVersionLayer::instance().registerDatabaseFiles();
        return true;
    }();
    (void)registered;
    TempFolder folder;
    ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    const std::string source = folder.write("source", std::string{bytes});
    for (const ImportType type : {ImportType::Netscape, ImportType::Html, ImportType::Csv,
                                  ImportType::Ascii, ImportType::Chromium}) {
        ImportRequest request{type, source, CategoryAssignment::Guess, {}, {}};
        const ImportSummary summary = runImport(db, ui, request, {}, false);
        if (summary.failed) {
            std::abort();
        }
    }
    FileManager& bookmarks = db.bookmarks();
    if (bookmarks.use() != kLevelDone) {
        std::abort();
    }
    Record r{bookmarkTable()};
    bookmarks.file().setRecordOrder();
    while (bookmarks.file().next(r).ok()) {
        const std::string& location = r.text(BookmarkField::Location);
        if (location.empty() || location.starts_with('#')) {
            std::abort();
        }
        for (int field = 0; field < bookmarkTable().fieldCount(); ++field) {
            if (bookmarkTable().isText(field) && !utf8::isValid(r.text(field))) {
                std::abort();
            }
        }
    }
    bookmarks.close();
}

} // namespace tessaly::test
