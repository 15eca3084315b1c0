#pragma once

#include <QString>

#include <string>
#include <vector>

class QAbstractItemModel;
class QHeaderView;

namespace tessaly::gui {

// The columns a list shows, logical numbers in their shown order.
std::vector<int> shownColumns(const QHeaderView& header);

// Writes the rows of `model` with the columns shown by `header`, as their
// text appears in the list: fixed columns as wide as each column's longest
// text (at most 255 characters), or an HTML table (the text escaped). The
// file is written under a temporary name and renamed into place when whole;
// false with `error` when it could not be written.
bool writeList(const QAbstractItemModel& model, const QHeaderView& header, const QString& title,
               const std::string& path, bool html, std::string* error);

} // namespace tessaly::gui
