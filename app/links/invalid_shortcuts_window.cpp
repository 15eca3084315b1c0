#include "links/invalid_shortcuts_window.h"

#include "core/services.h"
#include "core/tables.h"
#include "framework/window_register.h"
#include "links/test_link_window.h"

#include <QApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace tessaly::gui {

InvalidShortcutsWindow::InvalidShortcutsWindow(Services& services, std::int32_t today,
                                               QWidget* parent)
    : QDialog(parent), services_(services), today_(today),
      folder_(QString::fromStdString(services.settings().favoritesPath))
{
    setWindowTitle(QStringLiteral("Validating URLs"));
    auto* layout = new QVBoxLayout(this);
    heading_ = new QLabel(QStringLiteral("Loading locations from:\n") + folder_, this);
    layout->addWidget(heading_);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("Shortcuts"));
    list_->setHeaderLabels({QStringLiteral("Shortcut"), QStringLiteral("URL")});
    list_->setRootIsDecorated(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    layout->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    auto* exit = new QPushButton(QStringLiteral("E&xit"), this);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addStretch();
    buttons->addWidget(exit);
    layout->addLayout(buttons);
    resize(560, 360);
}

bool InvalidShortcutsWindow::collectAndTest()
{
    // The walk reads the disk, which may be a slow or network one: the
    // window keeps repainting meanwhile.
    const std::string folder = folder_.toStdString();
    QFutureWatcher<std::vector<ShortcutEntry>> walking;
    QEventLoop waiting;
    connect(&walking, &QFutureWatcher<std::vector<ShortcutEntry>>::finished, &waiting,
            &QEventLoop::quit);
    walking.setFuture(QtConcurrent::run([folder] {
        std::vector<ShortcutEntry> list;
        walkFavorites(folder, list);
        prepareShortcutList(folder, list);
        return list;
    }));
    if (!walking.isFinished()) {
        waiting.exec();
    }
    entries_ = walking.result();
    // The tests concern no stored bookmark.
    Record noBookmark{bookmarkTable()};
    for (std::size_t i = entries_.size(); i-- > 0;) {
        Record scratch = noBookmark;
        TestLinkWindow test(entries_[i].address, scratch, services_.database(), today_, this);
        test.keepNoStatusLine();
        const int result = test.exec();
        if (result == kLinkCancelled) {
            return false;
        }
        if (result != kLinkFail) {
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    setWindowTitle(QStringLiteral("Invalid URLs"));
    list_->clear();
    for (const ShortcutEntry& entry : entries_) {
        list_->addTopLevelItem(new QTreeWidgetItem(
            {QString::fromStdString(entry.path), QString::fromStdString(entry.address)}));
    }
    return true;
}

void validateFavorites(Services& services, std::int32_t today, QWidget* parent)
{
    if (!services.messages().ui().askYesNo(
            "Import from IE",
            "This process will provide a list of your Microsoft Internet Explorer bookmarks that "
            "are no longer valid.  Do you wish to proceed?",
            false)) {
        return;
    }
    InvalidShortcutsWindow window(services, today, parent);
    window.show();
    QApplication::processEvents();
    if (window.collectAndTest()) {
        window.exec();
    }
    WindowRegister::instance().notifyBrowseWindows();
}

} // namespace tessaly::gui
