#include "TestSupport.h"

#include <QCursor>
#include <QScreen>
#include <QWidget>

#include "WindowPlacement.h"

// Two screens side by side (twoscreens.sh): the window is called up on the pointer's screen,
// where it last stood there ("上次关闭位置") or centred ("鼠标位置").
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
    QTest::addColumn<bool>("atCursor");
    QTest::addColumn<int>("pointerScreen");
    QTest::addColumn<bool>("placedThereBefore");
    QTest::addColumn<QString>("expected");
    QTest::newRow("on the window's screen: it stays") << false << 0 << false << "stays";
    QTest::newRow("on the other screen: centred there") << false << 1 << false << "centred";
    QTest::newRow("on a screen it stood on: back where it was")
        << false << 1 << true << "remembered";
    QTest::newRow("at the pointer, on the window's screen: centred")
        << true << 0 << false << "centred";
    QTest::newRow("at the pointer, on a screen it stood on: centred")
        << true << 1 << true << "centred";
}

void TestWindowPlacement::shouldComeToThePointersScreen()
{
    QFETCH(bool, atCursor);
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
    placement.placeOnPointerScreen(&window, atCursor);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (expected == "stays")
        QCOMPARE(window.pos(), start);
    if (expected == "remembered")
        QCOMPARE(window.pos(), remembered);
    if (expected == "centred") {
        const QPoint offCentre =
            window.frameGeometry().center() - screenAt(pointerScreen)->availableGeometry().center();
        QVERIFY2(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1,
                 qPrintable(QStringLiteral("%1, %2").arg(offCentre.x()).arg(offCentre.y())));
    }
    QCOMPARE(QGuiApplication::screenAt(window.frameGeometry().center()), screenAt(pointerScreen));
}

QUIVER_TEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
