// The mouse pointer over the presentation: gone after a while without movement, back at once.

#include "PointerHider.h"

#include <QApplication>
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
        }
        // Gone with the hider: the pointer is back.
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }
};

QTEST_MAIN(TestPointerHider)
#include "tst_pointerhider.moc"
