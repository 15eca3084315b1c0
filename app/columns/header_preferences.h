#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QStyledItemDelegate>

#include <functional>
#include <map>
#include <optional>
#include <string>

class QHeaderView;
class QMenu;
class QTableView;

namespace tessaly {
class PositionStore;
class UiPort;
} // namespace tessaly

namespace tessaly::gui {

// A column's own look: text colour, background and font.
struct ColumnStyle {
    QColor text;
    QColor background;
    std::optional<QFont> font;
    bool empty() const { return !text.isValid() && !background.isValid() && !font; }
};

// Draws each column in its own style, and otherwise as Qt would.
class ColumnStyleDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;
    std::map<int, ColumnStyle>& styles() { return styles_; }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    std::map<int, ColumnStyle> styles_; // by logical column
};

// The role a list model answers with a cell's value for graphs and sorting:
// dates as QDate, numbers as numbers, states as their names; other models
// are read through their shown text.
inline constexpr int kGraphValueRole = Qt::UserRole + 40;

// What a list's column headings do beyond Qt's own: a click sorts (a second
// click reverses, the arrow shows it), and a menu on a heading hides and
// shows columns, fits their widths, gives a column its colours and font,
// resets the columns, graphs a column's values, prints and exports the
// list. Keys: Alt+F11 fits every column, Alt+F12 resets the columns, Alt+R
// reverses the order, Alt+M opens the menu of the current column.
//
// The choices are kept in POSITION.INI under the list's section name
// followed by ">Header" (the sort and each column's style), and in
// "XplorePreferences" for every list (grid lines, alternating rows). The
// order, widths and hidden columns are the list's own layout, which its
// window keeps.
class HeaderPreferences final : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        // Whether a click on the column may sort by it, and the sort itself
        // (true when done). Without them no heading sorts.
        std::function<bool(int logical)> sortable;
        std::function<bool(int logical, Qt::SortOrder order)> sort;
        // Puts back the list's built-in columns (order, widths, shown).
        std::function<void()> resetColumns;
        // "Print List...": absent, the item is not offered.
        std::function<void()> print;
    };

    // `keyPrefix` sets apart two lists of one window, which share its
    // section ("List:" and "Browse:" in the explorer view).
    HeaderPreferences(QTableView& view, PositionStore& positions, std::string section, UiPort& ui,
                      Hooks hooks, std::string keyPrefix = {});

    // Applies the kept choices: styles, general choices, then the sort.
    void restore();

    // The heading menu of `logical`, as a right click shows it.
    QMenu* menuFor(int logical);

    void sortBy(int logical, Qt::SortOrder order);
    // Shows (and keeps) an order the list took by other means, such as its
    // tabs, without sorting again; nullopt for none of the columns.
    void showSorted(std::optional<std::pair<int, Qt::SortOrder>> sorted);
    void reverse();
    void bestFit(int logical);
    void bestFitAll();
    void setStyle(int logical, const ColumnStyle& style);
    const ColumnStyle* style(int logical) const;
    void resetColumns();
    void graph(int logical);
    // Writes the list as shown (visible columns in their order): "ASCII"
    // fixed columns or an "HTML" table; false (and a message) on failure.
    bool exportList(const QString& path, bool html);

    std::optional<std::pair<int, Qt::SortOrder>> sorted() const { return sorted_; }
    std::string headerSection() const { return section_ + ">Header"; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void clicked(int logical);
    void showMenu(const QPoint& at);
    void chooseColour(int logical, bool background);
    void chooseFont(int logical);
    void askAndExport();
    void setGeneral(const char* key, bool on);
    void applyGeneral();
    void saveStyle(int logical);
    void saveSort();
    QString heading(int logical) const;

    QTableView& view_;
    QHeaderView& header_;
    PositionStore& positions_;
    std::string section_;
    std::string keyPrefix_;
    UiPort& ui_;
    Hooks hooks_;
    ColumnStyleDelegate* delegate_ = nullptr;
    std::optional<std::pair<int, Qt::SortOrder>> sorted_;
    QPointer<QMenu> menu_;
};

} // namespace tessaly::gui
