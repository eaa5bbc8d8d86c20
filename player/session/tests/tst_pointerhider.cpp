// The mouse pointer over the presentation: gone after a while without movement, back at once.

#include "session/PointerHider.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QWidget>

class TestPointerHider : public QObject
{
    Q_OBJECT

private slots:
    void hidesWhenStillAndShowsOnMove()
    {
        QWidget window;
        window.resize(400, 300);
        QWidget child(&window); // covers the window and does not track the mouse
        child.setGeometry(0, 0, 400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        {
            PointerHider hider(300);
            QVERIFY(!hider.isHidden());
            QTRY_VERIFY_WITH_TIMEOUT(hider.isHidden(), 3000);
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);

            QTest::mouseMove(window.windowHandle(), QPoint(50, 40));
            QVERIFY(!hider.isHidden());
            QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
            QTRY_VERIFY_WITH_TIMEOUT(hider.isHidden(), 3000); // and again when still

            // A press or a tap without movement brings it back too.
            QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, QPoint(50, 40));
            QVERIFY(!hider.isHidden());
            QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, QPoint(50, 40));
        }
        // Gone with the hider: the pointer is back.
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    // Over a dialog the pointer stays: it comes back when the dialog opens and does not go
    // while it is open.
    void staysOverADialog()
    {
        QWidget window;
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PointerHider hider(300);
        QTRY_VERIFY_WITH_TIMEOUT(hider.isHidden(), 3000);
        QDialog dialog(&window);
        dialog.open(); // modal, as the settings dialog
        QTRY_VERIFY(!hider.isHidden());
        QTest::qWait(1000);
        QVERIFY(!hider.isHidden());
        dialog.close();
        QTRY_VERIFY_WITH_TIMEOUT(hider.isHidden(), 3000);
    }
};

QTEST_MAIN(TestPointerHider)
#include "tst_pointerhider.moc"
