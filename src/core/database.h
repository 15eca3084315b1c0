#pragma once

#include "core/engine.h"
#include "core/file_manager.h"
#include "core/relation_manager.h"

#include <memory>
#include <string>

namespace tessaly {

// The record files of one thread with their file and relation managers:
// bookmarks, categories, category HTML, keywords, details, configuration and
// the old-version database. Files open on first use.
class Database final {
public:
    explicit Database(MessageManager& messages, std::string folder = ".");
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    Engine& engine() { return engine_; }
    MessageManager& messages() { return messages_; }

    FileManager& bookmarks() { return bookmarks_; }
    FileManager& categories() { return categories_; }
    FileManager& catHtml() { return catHtml_; }
    FileManager& keywords() { return keywords_; }
    FileManager& details() { return details_; }
    FileManager& configuration() { return configuration_; }
    FileManager& importFile() { return import_; }

    // Bookmarks with their keywords and details; categories with their
    // bookmarks and HTML.
    RelationManager& bookmarkRelations() { return bookmarkRelations_; }
    RelationManager& categoryRelations() { return categoryRelations_; }

    // True when a category of that name is stored (letter case ignored).
    bool categoryExists(std::string_view name);

    // Adds a bookmark, and first its category when none of that name (letter
    // case ignored) is stored, in one transaction: a category added for a
    // bookmark that is then refused does not stay behind, and another
    // program adding the same category at the same moment is no error.
    // Returns the level of the message raised, 0 when added.
    int addBookmarkWithCategory(Record& bookmark);

    // Closes every file still open.
    void closeAll();

private:
    MessageManager& messages_;
    Engine engine_;
    FileManager bookmarks_;
    FileManager import_;
    FileManager categories_;
    FileManager catHtml_;
    FileManager configuration_;
    FileManager keywords_;
    FileManager details_;
    RelationManager bookmarkRelations_;
    RelationManager categoryRelations_;
};

} // namespace tessaly
