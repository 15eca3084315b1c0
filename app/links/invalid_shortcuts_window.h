#pragma once

#include "links/favorites.h"

#include <QDialog>

class QLabel;
class QTreeWidget;

namespace tessaly {
class Services;
}

namespace tessaly::gui {

// "Validating URLs": collects the shortcuts of the Favorites folder, tests
// each in the Test Link window from the last to the first, and leaves on
// screen ("Invalid URLs") those that failed. No bookmark is changed.
class InvalidShortcutsWindow : public QDialog {
    Q_OBJECT

public:
    InvalidShortcutsWindow(Services& services, std::int32_t today, QWidget* parent = nullptr);

    // Collects and tests; false when a test was cancelled (the window then
    // closes).
    bool collectAndTest();
    const std::vector<ShortcutEntry>& failures() const { return entries_; }

private:
    Services& services_;
    std::int32_t today_;
    QString folder_;
    QLabel* heading_ = nullptr;
    QTreeWidget* list_ = nullptr;
    std::vector<ShortcutEntry> entries_;
};

// "Validate &Internet Explorer Links": asks, then runs the window until the
// user leaves it.
void validateFavorites(Services& services, std::int32_t today, QWidget* parent);

} // namespace tessaly::gui
