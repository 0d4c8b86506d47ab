#include "KelDockWidget.h"
#include "KelFramelessDialogLite.h"
#include "KelFramelessWidgetLite.h"
#include "TestSupport.h"

#include <QMainWindow>
#include <QMouseEvent>

namespace {
void moveCursorOver(QWidget *window, const QPoint &globalPos)
{
    QCursor::setPos(globalPos);
    QMouseEvent move(QEvent::MouseMove, window->mapFromGlobal(globalPos), globalPos, Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &move);
}
} // namespace

class TestKelFrameless : public QObject
{
    Q_OBJECT

private slots:
    void shouldDragByPressedPoint_data();
    void shouldDragByPressedPoint();
    void shouldIgnoreOtherButtons();
    void shouldStopFollowingWhenNotFree();
    void shouldHoldPinnedFloatingDock();
};

void TestKelFrameless::shouldDragByPressedPoint_data()
{
    QTest::addColumn<bool>("dialog");
    QTest::newRow("widget") << false;
    QTest::newRow("dialog") << true;
}

void TestKelFrameless::shouldDragByPressedPoint()
{
    QFETCH(bool, dialog);
    std::unique_ptr<QWidget> window;
    if (dialog)
        window = std::make_unique<KelFramelessDialogLite>();
    else
        window = std::make_unique<KelFramelessWidgetLite>();
    // Only the hint is set; Qt adds the window type of a parentless widget itself.
    QCOMPARE(window->windowFlags() & ~Qt::WindowType_Mask,
             Qt::WindowFlags(Qt::FramelessWindowHint));
    window->setGeometry(100, 100, 300, 200);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(10, 12));
    moveCursorOver(window.get(), QPoint(500, 400));
    QCOMPARE(window->pos(), QPoint(490, 388));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(10, 12));
    moveCursorOver(window.get(), QPoint(600, 500));
    QCOMPARE(window->pos(), QPoint(490, 388));
}

void TestKelFrameless::shouldIgnoreOtherButtons()
{
    KelFramelessWidgetLite window;
    window.setGeometry(100, 100, 300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::mousePress(&window, Qt::RightButton, {}, QPoint(10, 12));
    moveCursorOver(&window, QPoint(500, 400));
    QCOMPARE(window.pos(), QPoint(100, 100));
    QTest::mouseRelease(&window, Qt::RightButton, {}, QPoint(10, 12));

    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(10, 12));
    QTest::mouseRelease(&window, Qt::RightButton, {}, QPoint(10, 12));
    moveCursorOver(&window, QPoint(300, 300));
    QCOMPARE(window.pos(), QPoint(290, 288));
}

void TestKelFrameless::shouldStopFollowingWhenNotFree()
{
    KelFramelessWidgetLite window;
    window.setGeometry(100, 100, 300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(10, 12));
    window.setWindowMoveFreely(false);
    moveCursorOver(&window, QPoint(500, 400));
    QCOMPARE(window.pos(), QPoint(100, 100));
    // The drag was never ended, so it picks up again once moving is allowed.
    window.setWindowMoveFreely(true);
    moveCursorOver(&window, QPoint(500, 400));
    QCOMPARE(window.pos(), QPoint(490, 388));
}

void TestKelFrameless::shouldHoldPinnedFloatingDock()
{
    QMainWindow main;
    auto *dock = new KelDockWidget(&main);
    main.addDockWidget(Qt::LeftDockWidgetArea, dock);
    main.show();
    dock->setFloating(true);
    dock->setGeometry(300, 300, 200, 150);
    QVERIFY(QTest::qWaitForWindowExposed(dock));
    const QRect pinned = dock->geometry();

    dock->setDisableMoveAndSize(true);
    QVERIFY(dock->isDisableMoveAndSize());
    dock->move(50, 60);
    QCOMPARE(dock->geometry(), pinned);
    dock->resize(400, 400);
    QCOMPARE(dock->geometry(), pinned);

    dock->setDisableMoveAndSize(false);
    dock->move(50, 60);
    QCOMPARE(dock->pos(), QPoint(50, 60));
}

QUIVER_TEST_MAIN(TestKelFrameless)
#include "tst_kelframeless.moc"
