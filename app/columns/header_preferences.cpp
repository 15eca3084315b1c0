#include "columns/header_preferences.h"

#include "columns/column_graph_window.h"
#include "columns/list_export.h"
#include "core/position_store.h"
#include "framework/file_dialogs.h"
#include "framework/ui_port.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QShortcut>
#include <QTableView>

namespace tessaly::gui {

namespace {

constexpr const char* kGeneral = "XplorePreferences";
constexpr const char* kGridLines = "GridLines";
constexpr const char* kAlternateRows = "AlternateRows";

std::string styleKey(const std::string& prefix, int logical)
{
    return prefix + "Style" + std::to_string(logical);
}

// "text=#rrggbb;back=#rrggbb;font=<Qt's font description>", each part only
// when chosen. The font comes last: its description holds commas.
std::string styleText(const ColumnStyle& style)
{
    QStringList parts;
    if (style.text.isValid()) {
        parts << QStringLiteral("text=") + style.text.name();
    }
    if (style.background.isValid()) {
        parts << QStringLiteral("back=") + style.background.name();
    }
    if (style.font) {
        parts << QStringLiteral("font=") + style.font->toString();
    }
    return parts.join(QLatin1Char(';')).toStdString();
}

ColumnStyle parseStyle(const std::string& stored)
{
    ColumnStyle style;
    const QString text = QString::fromStdString(stored);
    const qsizetype fontAt = text.indexOf(QStringLiteral("font="));
    const QString colours = fontAt >= 0 ? text.left(fontAt) : text;
    for (const QString& part : colours.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QColor colour = QColor::fromString(part.section(QLatin1Char('='), 1));
        if (part.startsWith(QStringLiteral("text=")) && colour.isValid()) {
            style.text = colour;
        } else if (part.startsWith(QStringLiteral("back=")) && colour.isValid()) {
            style.background = colour;
        }
    }
    if (fontAt >= 0) {
        QFont font;
        if (font.fromString(text.mid(fontAt + 5))) {
            style.font = font;
        }
    }
    return style;
}

} // namespace

void ColumnStyleDelegate::initStyleOption(QStyleOptionViewItem* option,
                                          const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const auto found = styles_.find(index.column());
    if (found == styles_.end()) {
        return;
    }
    const ColumnStyle& style = found->second;
    if (style.font) {
        option->font = *style.font;
        option->fontMetrics = QFontMetrics(*style.font);
    }
    if (style.text.isValid()) {
        option->palette.setColor(QPalette::Text, style.text);
    }
    if (style.background.isValid()) {
        option->backgroundBrush = style.background;
    }
}

HeaderPreferences::HeaderPreferences(QTableView& view, PositionStore& positions,
                                     std::string section, UiPort& ui, Hooks hooks,
                                     std::string keyPrefix)
    : QObject(&view), view_(view), header_(*view.horizontalHeader()), positions_(positions),
      section_(std::move(section)), keyPrefix_(std::move(keyPrefix)), ui_(ui),
      hooks_(std::move(hooks))
{
    delegate_ = new ColumnStyleDelegate(&view_);
    view_.setItemDelegate(delegate_);
    header_.setSectionsClickable(true);
    header_.setSectionsMovable(true);
    header_.setSortIndicatorShown(false);
    header_.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&header_, &QHeaderView::sectionClicked, this, &HeaderPreferences::clicked);
    connect(&header_, &QHeaderView::customContextMenuRequested, this, &HeaderPreferences::showMenu);

    const auto key = [this](const QKeySequence& keys, auto action) {
        auto* shortcut = new QShortcut(keys, &view_);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    key(QKeySequence(Qt::ALT | Qt::Key_F11), &HeaderPreferences::bestFitAll);
    key(QKeySequence(Qt::ALT | Qt::Key_F12), &HeaderPreferences::resetColumns);
    // Alt+R is also the frame's "&Reports" menu: the list takes it while
    // it has the focus (see eventFilter).
    view_.installEventFilter(this);
    key(QKeySequence(Qt::ALT | Qt::Key_M), [this] {
        const int logical = view_.currentIndex().isValid() ? view_.currentIndex().column()
                                                           : header_.logicalIndex(0);
        const int x = header_.sectionViewportPosition(logical);
        showMenu(QPoint(std::max(0, x) + 4, header_.height() / 2));
    });
}

bool HeaderPreferences::eventFilter(QObject* watched, QEvent* event)
{
    const bool key = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    if (watched == &view_ && key) {
        const auto* press = static_cast<QKeyEvent*>(event);
        if (press->key() == Qt::Key_R && press->modifiers() == Qt::AltModifier) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept(); // the key press comes to the list, not to the menu bar
            } else {
                reverse();
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void HeaderPreferences::restore()
{
    for (int logical = 0; logical < header_.count(); ++logical) {
        const std::string stored = positions_.value(headerSection(), styleKey(keyPrefix_, logical));
        if (!stored.empty()) {
            const ColumnStyle style = parseStyle(stored);
            if (!style.empty()) {
                delegate_->styles()[logical] = style;
            }
        }
    }
    applyGeneral();
    const QString sort =
        QString::fromStdString(positions_.value(headerSection(), keyPrefix_ + "Sort"));
    bool ok = false;
    const int logical = sort.section(QLatin1Char(':'), 0, 0).toInt(&ok);
    if (ok && logical >= 0 && logical < header_.count()) {
        sortBy(logical,
               sort.endsWith(QStringLiteral(":D")) ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    view_.viewport()->update();
}

QString HeaderPreferences::heading(int logical) const
{
    const QAbstractItemModel* model = view_.model();
    return model != nullptr ? model->headerData(logical, Qt::Horizontal).toString() : QString{};
}

void HeaderPreferences::clicked(int logical)
{
    if (!hooks_.sortable || !hooks_.sortable(logical)) {
        // Qt moves the arrow on any click: put it back where the order is.
        showSorted(sorted_);
        return;
    }
    const bool again = sorted_ && sorted_->first == logical;
    sortBy(logical, again && sorted_->second == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                   : Qt::AscendingOrder);
}

void HeaderPreferences::sortBy(int logical, Qt::SortOrder order)
{
    if (!hooks_.sortable || !hooks_.sort || !hooks_.sortable(logical) ||
        !hooks_.sort(logical, order)) {
        return;
    }
    showSorted(std::pair{logical, order});
}

void HeaderPreferences::showSorted(std::optional<std::pair<int, Qt::SortOrder>> sorted)
{
    sorted_ = sorted;
    header_.setSortIndicatorShown(sorted_.has_value());
    if (sorted_) {
        header_.setSortIndicator(sorted_->first, sorted_->second);
    }
    saveSort();
}

void HeaderPreferences::reverse()
{
    if (sorted_) {
        sortBy(sorted_->first,
               sorted_->second == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
}

void HeaderPreferences::saveSort()
{
    positions_.setValue(headerSection(), keyPrefix_ + "Sort",
                        sorted_ ? std::to_string(sorted_->first) +
                                      (sorted_->second == Qt::AscendingOrder ? ":A" : ":D")
                                : std::string{});
}

void HeaderPreferences::bestFit(int logical)
{
    // The rows in view and the heading: a list of 100,000 rows is not read
    // through to find its longest text.
    view_.resizeColumnToContents(logical);
}

void HeaderPreferences::bestFitAll()
{
    for (int logical = 0; logical < header_.count(); ++logical) {
        if (!header_.isSectionHidden(logical)) {
            bestFit(logical);
        }
    }
}

void HeaderPreferences::setStyle(int logical, const ColumnStyle& style)
{
    if (style.empty()) {
        delegate_->styles().erase(logical);
    } else {
        delegate_->styles()[logical] = style;
    }
    saveStyle(logical);
    view_.viewport()->update();
}

const ColumnStyle* HeaderPreferences::style(int logical) const
{
    const auto found = delegate_->styles().find(logical);
    return found != delegate_->styles().end() ? &found->second : nullptr;
}

void HeaderPreferences::saveStyle(int logical)
{
    const ColumnStyle* chosen = style(logical);
    positions_.setValue(headerSection(), styleKey(keyPrefix_, logical),
                        chosen != nullptr ? styleText(*chosen) : std::string{});
}

void HeaderPreferences::resetColumns()
{
    for (int logical = 0; logical < header_.count(); ++logical) {
        if (style(logical) != nullptr) {
            setStyle(logical, {});
        }
    }
    // The columns' own order again: the list's first, which the list may
    // show on a heading of its own.
    showSorted(std::nullopt);
    if (hooks_.resetColumns) {
        hooks_.resetColumns();
    }
}

void HeaderPreferences::chooseColour(int logical, bool background)
{
    ColumnStyle chosen = style(logical) != nullptr ? *style(logical) : ColumnStyle{};
    QColor& colour = background ? chosen.background : chosen.text;
    const QColor start = colour.isValid()
                             ? colour
                             : view_.palette().color(background ? QPalette::Base : QPalette::Text);
    const QColor picked = QColorDialog::getColor(start, &view_,
                                                 background ? QStringLiteral("Column Background")
                                                            : QStringLiteral("Column Text Colour"));
    if (picked.isValid()) {
        colour = picked;
        setStyle(logical, chosen);
    }
}

void HeaderPreferences::chooseFont(int logical)
{
    ColumnStyle chosen = style(logical) != nullptr ? *style(logical) : ColumnStyle{};
    bool ok = false;
    const QFont picked = QFontDialog::getFont(&ok, chosen.font.value_or(view_.font()), &view_,
                                              QStringLiteral("Column Font"));
    if (ok) {
        chosen.font = picked;
        setStyle(logical, chosen);
    }
}

void HeaderPreferences::setGeneral(const char* key, bool on)
{
    positions_.setValue(kGeneral, key, on ? "1" : "0");
    applyGeneral();
}

void HeaderPreferences::applyGeneral()
{
    // Until the user chooses, each list keeps the look it was made with.
    const std::string grid = positions_.value(kGeneral, kGridLines);
    if (!grid.empty()) {
        view_.setShowGrid(grid == "1");
    }
    const std::string alternate = positions_.value(kGeneral, kAlternateRows);
    if (!alternate.empty()) {
        view_.setAlternatingRowColors(alternate == "1");
    }
}

void HeaderPreferences::graph(int logical)
{
    const QAbstractItemModel* model = view_.model();
    if (model == nullptr) {
        return;
    }
    std::vector<QVariant> values;
    values.reserve(static_cast<std::size_t>(model->rowCount()));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, logical);
        QVariant value = index.data(kGraphValueRole);
        values.push_back(value.isValid() ? std::move(value) : index.data(Qt::DisplayRole));
    }
    QApplication::restoreOverrideCursor();
    ColumnGraphWindow window(heading(logical), std::move(values), ui_, &view_);
    window.exec();
}

bool HeaderPreferences::exportList(const QString& path, bool html)
{
    std::string error;
    const QString title = view_.window()->windowTitle();
    if (view_.model() != nullptr &&
        writeList(*view_.model(), header_, title, path.toStdString(), html, &error)) {
        return true;
    }
    ui_.showMessage({"List Not Exported",
                     "The list could not be written to " + path.toStdString() + ": " + error + ".",
                     MessageIcon::Exclamation, ButtonOk, ButtonOk});
    return false;
}

void HeaderPreferences::askAndExport()
{
    QFileDialog dialog(&view_, QStringLiteral("Export List"), dialogFolder(QStringLiteral("list")),
                       QStringLiteral("Text files (*.txt);;HTML Files (*.html *.htm)"));
    const QString path = chosenSaveFile(dialog);
    if (!path.isEmpty()) {
        rememberDialogFolder(QStringLiteral("list"), path);
        exportList(path, dialog.selectedNameFilter().startsWith(QStringLiteral("HTML")) ||
                             path.endsWith(QStringLiteral(".htm")) ||
                             path.endsWith(QStringLiteral(".html")));
    }
}

QMenu* HeaderPreferences::menuFor(int logical)
{
    delete menu_;
    menu_ = new QMenu(&header_);
    QMenu& menu = *menu_;
    const QString name = heading(logical);
    const bool sortable = hooks_.sortable && hooks_.sortable(logical);
    QAction* ascending = menu.addAction(QStringLiteral("Sort &Ascending"), this,
                                        [this, logical] { sortBy(logical, Qt::AscendingOrder); });
    QAction* descending = menu.addAction(QStringLiteral("Sort &Descending"), this,
                                         [this, logical] { sortBy(logical, Qt::DescendingOrder); });
    QAction* reversed =
        menu.addAction(QStringLiteral("&Reverse Order\tAlt+R"), this, &HeaderPreferences::reverse);
    ascending->setEnabled(sortable);
    descending->setEnabled(sortable);
    reversed->setEnabled(sorted_.has_value());
    if (!sortable && hooks_.sortable) {
        // Said rather than left as a grey mystery.
        menu.addAction(QStringLiteral("(This list cannot be sorted by %1)").arg(name))
            ->setEnabled(false);
    }
    menu.addSeparator();
    QMenu* columns = menu.addMenu(QStringLiteral("&Columns"));
    int shown = 0;
    for (int i = 0; i < header_.count(); ++i) {
        shown += header_.isSectionHidden(i) ? 0 : 1;
    }
    for (int visual = 0; visual < header_.count(); ++visual) {
        const int column = header_.logicalIndex(visual);
        QString text = heading(column);
        if (text.isEmpty()) {
            text = QStringLiteral("(icon)");
        }
        QAction* item = columns->addAction(text);
        item->setCheckable(true);
        item->setChecked(!header_.isSectionHidden(column));
        // The last column shown stays: a list without columns is lost.
        item->setEnabled(header_.isSectionHidden(column) || shown > 1);
        connect(item, &QAction::toggled, this,
                [this, column](bool on) { header_.setSectionHidden(column, !on); });
    }
    menu.addAction(QStringLiteral("&Hide %1").arg(name), this,
                   [this, logical] { header_.setSectionHidden(logical, true); })
        ->setEnabled(shown > 1 && !header_.isSectionHidden(logical));
    menu.addAction(QStringLiteral("Best &Fit"), this, [this, logical] { bestFit(logical); });
    menu.addAction(QStringLiteral("Best Fit &All Columns\tAlt+F11"), this,
                   &HeaderPreferences::bestFitAll);
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Text Colour..."), this,
                   [this, logical] { chooseColour(logical, false); });
    menu.addAction(QStringLiteral("&Background Colour..."), this,
                   [this, logical] { chooseColour(logical, true); });
    menu.addAction(QStringLiteral("F&ont..."), this, [this, logical] { chooseFont(logical); });
    menu.addAction(QStringLiteral("&Plain Style"), this, [this, logical] { setStyle(logical, {}); })
        ->setEnabled(style(logical) != nullptr);
    QAction* grid = menu.addAction(QStringLiteral("&Grid Lines"));
    grid->setCheckable(true);
    grid->setChecked(view_.showGrid());
    connect(grid, &QAction::toggled, this, [this](bool on) { setGeneral(kGridLines, on); });
    QAction* alternate = menu.addAction(QStringLiteral("Alternate Row Co&lours"));
    alternate->setCheckable(true);
    alternate->setChecked(view_.alternatingRowColors());
    connect(alternate, &QAction::toggled, this,
            [this](bool on) { setGeneral(kAlternateRows, on); });
    menu.addAction(QStringLiteral("R&eset Columns\tAlt+F12"), this,
                   &HeaderPreferences::resetColumns);
    menu.addSeparator();
    menu.addAction(
        QStringLiteral("Gra&ph %1...").arg(name.isEmpty() ? QStringLiteral("Values") : name), this,
        [this, logical] { graph(logical); });
    if (hooks_.print) {
        menu.addAction(QStringLiteral("Pri&nt List..."), this, [this] { hooks_.print(); });
    }
    menu.addAction(QStringLiteral("E&xport List..."), this, &HeaderPreferences::askAndExport);
    return menu_;
}

void HeaderPreferences::showMenu(const QPoint& at)
{
    const int logical = header_.logicalIndexAt(at);
    if (logical < 0) {
        return;
    }
    menuFor(logical)->popup(header_.mapToGlobal(at));
}

} // namespace tessaly::gui
