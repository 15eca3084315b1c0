#pragma once

#include "bookmarks/list_variant.h"
#include "core/record.h"

#include <QWidget>

#include <functional>

namespace tessaly {
class Database;
}

namespace tessaly::gui {

class CategoryTable;

// "Browse Categories": the categories with their descriptions, the tip
// about the HTML, and "&New", "&Edit", "&Delete", "Locations for this
// Category" and "Cl&ose". Single; reloads on the refresh notice.
class CategoryListWindow final : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* kName = "BrowseCategories";

    // `openList` opens a list window (the frame's); `openBookmarkForm` the
    // bookmark form on a bookmark (empty: the Locations tab cannot edit).
    CategoryListWindow(Database& database, std::function<void(const ListVariant&)> openList,
                       QWidget* parent = nullptr,
                       std::function<void(const Record&)> openBookmarkForm = {});

    CategoryTable* table() const { return table_; }
    void reload();
    // The form on a new, the highlighted, or (delete) no category.
    void newCategory();
    void editCategory();
    void deleteCategory();
    void showLocations();

private:
    Database& database_;
    std::function<void(const ListVariant&)> openList_;
    std::function<void(const Record&)> openBookmarkForm_;
    CategoryTable* table_ = nullptr;
};

} // namespace tessaly::gui
