#pragma once

#include <QWidget>

class QSplitter;

namespace tessaly {
class Opener;
class Services;
} // namespace tessaly

namespace tessaly::gui {

class BrowseWindow;
class CategoryTable;

// The explorer view "BrowseCategoriesAndURL": the categories on the left,
// the highlighted category's bookmarks on the right (everything the
// bookmark list offers), a divider between them that keeps each list at
// least 25 dialog units wide.
class ExplorerWindow final : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* kName = "BrowseCategoriesAndURL";

    ExplorerWindow(Services& services, Opener& opener, QWidget* parent = nullptr);
    ~ExplorerWindow() override;

    CategoryTable* categories() const { return categories_; }
    BrowseWindow* bookmarks() const { return bookmarks_; }
    QSplitter* splitter() const { return splitter_; }

    void newCategory();
    void editCategory();
    void deleteCategory();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reloadCategories();
    void categoryChanged();

    Services& services_;
    QSplitter* splitter_ = nullptr;
    CategoryTable* categories_ = nullptr;
    BrowseWindow* bookmarks_ = nullptr;
};

} // namespace tessaly::gui
