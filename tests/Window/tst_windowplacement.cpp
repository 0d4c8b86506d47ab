#include "TestSupport.h"

#include <QCursor>
#include <QScreen>
#include <QWidget>

#include "WindowPlacement.h"

// Two screens side by side (twoscreens.sh): the window is called up where the pointer is.
class TestWindowPlacement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shouldComeToThePointersScreen_data();
    void shouldComeToThePointersScreen();

private:
    QScreen *screenAt(int index) const { return QGuiApplication::screens().at(index); }
};

void TestWindowPlacement::initTestCase()
{
    if (QGuiApplication::screens().size() < 2)
        QSKIP("needs two screens (run through twoscreens.sh)");
}

void TestWindowPlacement::shouldComeToThePointersScreen_data()
{
    QTest::addColumn<int>("pointerScreen");
    QTest::addColumn<bool>("placedThereBefore");
    QTest::addColumn<QString>("expected");
    QTest::newRow("on the window's screen: it stays") << 0 << false << "stays";
    QTest::newRow("on the other screen: centred there") << 1 << false << "centred";
    QTest::newRow("on a screen it stood on: back where it was") << 1 << true << "remembered";
}

void TestWindowPlacement::shouldComeToThePointersScreen()
{
    QFETCH(int, pointerScreen);
    QFETCH(bool, placedThereBefore);
    QFETCH(QString, expected);
    WindowPlacement placement;
    QWidget window;
    window.resize(300, 200);
    const QPoint remembered = screenAt(1)->geometry().topLeft() + QPoint(17, 23);
    if (placedThereBefore) {
        window.move(remembered);
        placement.remember(&window);
    }
    const QPoint start = screenAt(0)->geometry().topLeft() + QPoint(40, 30);
    window.move(start);
    placement.remember(&window);

    QCursor::setPos(screenAt(pointerScreen)->geometry().center());
    QTRY_COMPARE(QGuiApplication::screenAt(QCursor::pos()), screenAt(pointerScreen));
    placement.placeOnPointerScreen(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (expected == "stays")
        QCOMPARE(window.pos(), start);
    if (expected == "remembered")
        QCOMPARE(window.pos(), remembered);
    if (expected == "centred")
        QVERIFY2(qAbs(window.frameGeometry().center().x() -
                      screenAt(1)->availableGeometry().center().x()) <= 1,
                 qPrintable(QString::number(window.frameGeometry().center().x())));
    QCOMPARE(QGuiApplication::screenAt(window.frameGeometry().center()), screenAt(pointerScreen));
}

QUIVER_TEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
