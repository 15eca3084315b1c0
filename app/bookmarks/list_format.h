#pragma once

#include "bookmarks/list_variant.h"

#include <QString>

#include <string>
#include <vector>

class QHeaderView;

namespace tessaly {
class PositionStore;
}

namespace tessaly::gui {

// The column layout of a list (order, widths, hidden columns) as a format
// text, and its keeping under the list's section of POSITION.INI. The
// user's layout holds while the built-in one it was saved against is still
// the program's.
class ListFormat final {
public:
    // `saves` false: the list always opens in its built-in layout and keeps
    // nothing (the one-category list).
    ListFormat(QHeaderView& header, const std::vector<ListColumn>& columns,
               PositionStore& positions, std::string section, bool saves);

    // Our own format: a version word, then each column in shown order as
    // logical:width and a trailing "h" when hidden.
    QString builtInFormat() const;
    QString formatText() const;
    // A format this program does not know is left alone.
    void applyFormat(const QString& format);

    // The layout the list opens with; true when it is a first opening (no
    // layout of the user's), whose columns are then fitted to their rows.
    bool restore();
    void save();

private:
    QHeaderView& header_;
    const std::vector<ListColumn>& columns_;
    PositionStore& positions_;
    std::string section_;
    bool saves_ = true;
};

} // namespace tessaly::gui
