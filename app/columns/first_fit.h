#pragma once

class QTableView;

namespace tessaly::gui {

// Fits each shown column of `view` to its heading and the rows in sight the
// first time the view is shown with rows, as "Best Fit" would; a long text
// takes at most a share of the view's width. For a list opened for the
// first time: the widths a user left are restored instead on later openings.
void fitColumnsWhenShown(QTableView& view);

// The same at once, for a view already shown.
void fitColumns(QTableView& view);

} // namespace tessaly::gui
