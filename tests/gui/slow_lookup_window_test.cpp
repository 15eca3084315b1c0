// The Test Link window behind a name resolver that does not answer for
// twelve seconds (tests/support/slow_getaddrinfo.cpp, preloaded): Cancel
// must give the window back at once, not when the lookup ends.
#include "core/tables.h"
#include "links/test_link_window.h"

#include "preload_again.h"
#include "started_services.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

using namespace tessaly;
using tessaly::gui::TestLinkWindow;

class SlowLookupWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cancelDuringALookupClosesTheWindowAtOnce()
    {
        test::StartedServices started;
        const std::string address = "http://dead.slow.test:1/";
        Record bookmark{bookmarkTable()};
        bookmark.setText(BookmarkField::Location, address);
        TestLinkWindow window(address, bookmark, started.db(), 100000);
        QTimer::singleShot(300, &window, [&window] {
            for (QPushButton* b : window.findChildren<QPushButton*>()) {
                if (b->text() == QStringLiteral("Cancel")) {
                    b->click();
                }
            }
        });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(window.exec(), int{kLinkCancelled});
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    }
};

// Runs again with the slow resolver preloaded when it is not yet.
int main(int argc, char** argv)
{
    if (const int failed = tessaly::test::preloadAndRunAgain(argv, SLOW_GETADDRINFO_PATH);
        failed != 0) {
        return failed;
    }
    QApplication app(argc, argv);
    SlowLookupWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "slow_lookup_window_test.moc"
