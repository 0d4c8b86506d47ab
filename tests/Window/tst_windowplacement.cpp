#include "CatalogueSupport.h"
#include "TestSupport.h"

#include <QAction>
#include <QCursor>
#include <QScreen>
#include <QWidget>

#include <memory>

#include "App/Program.h"
#include "Window/FormMain.h"
#include "Catalogue/ItemsListView.h"
#include "Window/WindowPlacement.h"

// Two screens side by side (twoscreens.sh): the window is called up on the pointer's screen,
// where it last stood there ("上次关闭位置") or centred ("鼠标位置"), and the windows it opens
// come up over it.
class TestWindowPlacement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shouldComeToThePointersScreen_data();
    void shouldComeToThePointersScreen();
    void shouldOpenWindowsOverTheMainWindowInsideItsScreen();

private:
    QScreen *screenAt(int index) const { return QGuiApplication::screens().at(index); }

    std::unique_ptr<CatalogueWorkDir> m_dir;
};

void TestWindowPlacement::initTestCase()
{
    if (QGuiApplication::screens().size() < 2)
        QSKIP("needs two screens (run through twoscreens.sh)");
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
    Catalogue::reset("(1, 'T', 0)", "(10, 'G', 1, 0)");
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, CreateDate, RunCount, GroupsID, "
                    "TypesID, Row) VALUES (1, 'ls', 3, 'ls', '0', 0, 10, 1, 0)");
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

void TestWindowPlacement::shouldOpenWindowsOverTheMainWindowInsideItsScreen()
{
    // Low on the right of the second screen, 768 high as small laptops are: the windows opened
    // there are larger than the room on one side, the icon selector (800 high) than the screen.
    Program program;
    FormMain &window = program.window();
    window.setGeometry(
        QRect(screenAt(1)->geometry().topLeft() + QPoint(916, 400), QSize(400, 300)));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect room = screenAt(1)->availableGeometry();
    QStringList seen;
    QStringList misplaced;
    const auto check = [&window, &room, &seen, &misplaced](QWidget *shown) {
        seen << shown->objectName();
        // Inside the screen, centred on the main window as far as the screen's edges let it be.
        const QRect placed = shown->frameGeometry();
        const QPoint off = placed.center() - window.frameGeometry().center();
        if (!room.contains(placed) ||
            (qAbs(off.x()) > 1 && placed.left() != room.left() && placed.right() != room.right()) ||
            (qAbs(off.y()) > 1 && placed.top() != room.top() && placed.bottom() != room.bottom()))
            misplaced << shown->objectName();
        shown->close();
    };
    for (const char *opened : {"actionOpenSettings", "actionOpenSkins"}) {
        window.findChild<QAction *>(opened)->trigger();
        for (QWidget *each : QApplication::topLevelWidgets())
            if (each->isVisible() && each->objectName().startsWith("Form_"))
                check(each);
    }
    auto *items = window.findChild<ItemsListView *>("listView_items");
    items->setCurrentIndex(items->model()->index(0, 0));
    ModalAnswers answers;
    answers.then(check).then(check);
    items->actionAdd()->trigger();
    items->actionSetIcon()->trigger();
    QCOMPARE(seen,
             (QStringList{"Form_Settings", "Form_Skins", "Form_Attribute", "Form_IconSelector"}));
    QCOMPARE(misplaced, QStringList());
}

QUIVER_TEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
