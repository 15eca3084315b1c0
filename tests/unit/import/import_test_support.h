#pragma once

#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/utf8.h"
#include "import/importer.h"

#include "scripted_ui.h"
#include "stored_bookmark.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaly::test {

// A data folder, a source folder and the imports between them.
class ImportTest : public ::testing::Test {
protected:
    void SetUp() override { FileVersionLayer::instance().registerDatabaseFiles(); }

    ImportSummary import(ImportType type, const std::string& source,
                         CategoryAssignment assignment = CategoryAssignment::Guess,
                         std::string category = {}, bool tellUser = true)
    {
        ImportRequest request;
        request.type = type;
        request.source = source;
        request.assignment = assignment;
        request.category = std::move(category);
        request.ask = ask;
        return runImport(db, ui, request, favorites, tellUser);
    }

    Record stored(std::string_view location) { return storedBookmark(db, location); }

    // "location|description|category" of every bookmark in location order.
    std::vector<std::string> bookmarks()
    {
        std::vector<std::string> out;
        FileManager& file = db.bookmarks();
        file.use();
        Record r{bookmarkTable()};
        file.file().set(static_cast<int>(BookmarkKey::Location));
        while (file.file().next(r).ok()) {
            out.push_back(r.text(BookmarkField::Location) + "|" +
                          r.text(BookmarkField::Description) + "|" +
                          r.text(BookmarkField::Category));
        }
        file.close();
        return out;
    }

    std::vector<std::string> categories()
    {
        std::vector<std::string> out;
        FileManager& file = db.categories();
        file.use();
        Record r{categoryTable()};
        file.file().set(0);
        while (file.file().next(r).ok()) {
            out.push_back(r.text(CategoryField::Category));
        }
        file.close();
        return out;
    }

    std::vector<std::string> keywords(std::string_view location)
    {
        std::vector<std::string> out;
        FileManager& file = db.keywords();
        file.use();
        Record r{keywordTable()};
        file.file().set(0);
        while (file.file().next(r).ok()) {
            if (r.text(KeywordField::Location) == location) {
                out.push_back(r.text(KeywordField::Keyword));
            }
        }
        file.close();
        return out;
    }

    TempFolder folder;
    TempFolder sources;
    ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    std::string favorites;
    AskCategory ask;
};

} // namespace tessaly::test
