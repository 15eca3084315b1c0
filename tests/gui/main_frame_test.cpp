#include "display_check.h"
#include "frame/main_frame.h"

#include <QMdiArea>
#include <QtTest>

class MainFrameTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opensTitledWithAnMdiArea()
    {
        tessaly::gui::MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Tessaly 2000"));
        QVERIFY(qobject_cast<QMdiArea*>(frame.centralWidget()) != nullptr);
    }

    void offscreenCountsAsADisplay() { QVERIFY(tessaly::gui::missingDisplayMessage().empty()); }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
