#include "App/Program.h"
#include "Window/FormMain.h"
#include "Core/SettingsControl.h"
#include "CatalogueSupport.h"
#include "TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>
#include <QWindow>

#include <memory>

// Xlib's macros clash with Qt's names: its headers come last.
#include "X11Desktop.h"
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {
QString visibleNotice()
{
    return Notices::shown().value(0);
}

bool isShownAndActive(const QWidget &window)
{
    return window.isVisible() && !window.isMinimized() && window.isActiveWindow();
}

QPoint windowPosition(const QWidget &window)
{
    QProcess tool;
    tool.start("xdotool",
               {"getwindowgeometry", "--shell", QString::number(window.windowHandle()->winId())});
    tool.waitForFinished(5000);
    QPoint position;
    for (const QByteArray &line : tool.readAllStandardOutput().split('\n')) {
        if (line.startsWith("X="))
            position.setX(line.mid(2).toInt());
        else if (line.startsWith("Y="))
            position.setY(line.mid(2).toInt());
    }
    return position;
}

} // namespace

// The main window on a real X server with a window manager, a tray and the global key grab.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void shouldToggleWithOnShowFromEveryState();
    void shouldToggleWithGlobalHotkey();
    void shouldRunWhatIsTypedRightAfterTheHotkey();
    void shouldRefuseHotkeyHeldByAnotherClient();
    void shouldUnregisterEmptyHotkeySilently();
    void shouldNeverHoldBareKeySystemWide();
    void shouldFollowTraySettings();
    void shouldHideOnPressRightAfterQuickShow();
    void shouldTakeTheKeyboardWhenCalledUpRightAfterHiding_data();
    void shouldTakeTheKeyboardWhenCalledUpRightAfterHiding();
    void shouldStayReachableWhenTrayIsHiddenWhileHidden();
    void shouldStayOnTopAndBack();
    void shouldMoveByTitleBarButKeepButtonsClickable();
    void shouldKnowWhereTheWindowManagerPutIt();

private:
    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<X11Desktop> m_desktop;
    std::unique_ptr<Program> m_program;
    FormMain *m_window = nullptr;
};

void TestMainWindow::initTestCase()
{
    m_dir = std::make_unique<TestWorkDir>();
    m_desktop = std::make_unique<X11Desktop>();
    QString reason;
    if (!m_desktop->start(true, &reason))
        QSKIP(qPrintable(reason));
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

void TestMainWindow::cleanupTestCase()
{
    m_program.reset();
    m_desktop.reset();
    m_dir.reset();
}

void TestMainWindow::init()
{
    m_program = std::make_unique<Program>();
    m_window = &m_program->window();
    m_window->setGeometry(100, 100, 700, 600);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void TestMainWindow::cleanup()
{
    SettingsControl::instance().setShowHotkey(QString());
    m_program.reset();
    Notices::clear();
}

// Driven by the hotkey, as a user does: the window manager gives the focus only to a window
// shown in answer to an input event.
void TestMainWindow::shouldToggleWithOnShowFromEveryState()
{
    FormMain &window = *m_window;
    SettingsControl::instance().setShowHotkey(
        QKeySequence("Ctrl+Alt+S").toString(QKeySequence::NativeText));
    QVERIFY(window.canHide(false));
    auto *search = window.findChild<QLineEdit *>("lineEdit_search");
    search->setText("old text");
    window.findChild<QWidget *>("listView_items")->setFocus();
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+s"}));
    QTRY_VERIFY(window.isHidden());
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+s"}));
    QTRY_VERIFY(isShownAndActive(window));
    // Shown, the search box has the keyboard and its text is selected: typing replaces it.
    QTRY_VERIFY(search->hasFocus());
    QCOMPARE(search->selectedText(), QStringLiteral("old text"));
    search->clear();

    window.showMinimized();
    QTRY_VERIFY(window.isMinimized());
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+s"}));
    QTRY_VERIFY(isShownAndActive(window));

    QWidget other;
    other.setGeometry(300, 300, 200, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!window.isActiveWindow());
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+s"}));
    QTRY_VERIFY(isShownAndActive(window));

    // The close button hides to the tray and keeps the process.
    window.findChild<QToolButton *>("toolButton_close")->click();
    QTRY_VERIFY(window.isHidden());
}

void TestMainWindow::shouldToggleWithGlobalHotkey()
{
    FormMain &window = *m_window;
    SettingsControl::instance().setShowHotkey(
        QKeySequence("Ctrl+Alt+Q").toString(QKeySequence::NativeText));
    QCOMPARE(visibleNotice(), QStringLiteral("设置已变更！"));

    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+q"}));
    QTRY_VERIFY(window.isHidden());
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+q"}));
    QTRY_VERIFY(isShownAndActive(window));

    // NumLock on must not swallow the hotkey.
    QVERIFY(X11Desktop::xdotool({"key", "Num_Lock"}));
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+q"}));
    QTRY_VERIFY(window.isHidden());
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+q"}));
    QTRY_VERIFY(isShownAndActive(window));
    QVERIFY(X11Desktop::xdotool({"key", "Num_Lock"}));
}

// The one motion a launcher is for: the hotkey, a few letters typed at once, Enter. No key may
// go to the window that had the focus before.
void TestMainWindow::shouldRunWhatIsTypedRightAfterTheHotkey()
{
    const QString marker = m_dir->path("typed.sh");
    QFile script(marker);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho ran >> %1.out\n").arg(marker).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    for (const char *table : {"Types", "Groups", "Items"})
        Catalogue::exec(QStringLiteral("DELETE FROM %1").arg(table));
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 'T', 0)");
    Catalogue::exec("INSERT INTO Groups(ID, Name, TypesID, Row) VALUES (1, 'G', 1, 0)");
    Catalogue::exec(QStringLiteral("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) "
                                   "VALUES (1, '记事本', 3, 'true', 1, 1), (2, '标记', 0, '%1', 1, "
                                   "1)")
                        .arg(marker));
    // The window of init() closes the catalogue as it goes: it goes first.
    m_program.reset();
    m_program = std::make_unique<Program>();
    m_window = &m_program->window();
    m_window->setGeometry(100, 100, 700, 600);
    SettingsControl::instance().setShowHotkey(
        QKeySequence("Ctrl+Alt+J").toString(QKeySequence::NativeText));
    // The window that had the focus is another client's text box: a key that slips past shows
    // up in it. (A window of this process would not do: Qt hands keys to its own active window.)
    QProcess other;
    other.start(QUIVER_KEY_WITNESS, QStringList());
    QVERIFY(X11Desktop::xdotool(
        {"search", "--sync", "--name", "quiver key witness", "windowactivate", "--sync"}));
    QByteArray received;
    QTRY_VERIFY((received += other.readAllStandardOutput()).contains("focused"));

    // "biaoji" is the pinyin of 标记. The hotkey and the name go out in one burst, so that they
    // reach the server before this process has even seen the hotkey.
    Display *display = QX11Info::display();
    const auto key = [display](KeySym symbol, bool press) {
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), press, CurrentTime);
    };
    for (KeySym symbol : {XK_Control_L, XK_Alt_L, XK_j})
        key(symbol, true);
    for (KeySym symbol : {XK_j, XK_Alt_L, XK_Control_L})
        key(symbol, false);
    const auto type = [&key](std::initializer_list<KeySym> symbols) {
        for (KeySym symbol : symbols) {
            key(symbol, true);
            key(symbol, false);
        }
    };
    // Edited as it is typed: a slip taken back with Ctrl+A, another with Left and Delete.
    type({XK_x});
    key(XK_Control_L, true);
    type({XK_a});
    key(XK_Control_L, false);
    type(
        {XK_b, XK_i, XK_a, XK_o, XK_j, XK_i, XK_k, XK_Left, XK_Delete, XK_Home, XK_End, XK_Return});
    XFlush(display);
    QTRY_VERIFY(QFile::exists(marker + ".out"));
    QCOMPARE(m_window->findChild<QLineEdit *>("lineEdit_search")->text(), QStringLiteral("biaoji"));
    QCOMPARE(received + other.readAllStandardOutput(), QByteArray("focused\n"));
    other.kill();
    other.waitForFinished();
}

void TestMainWindow::shouldRefuseHotkeyHeldByAnotherClient()
{
    Display *other = XOpenDisplay(nullptr);
    QVERIFY(other);
    const KeyCode keycode = XKeysymToKeycode(other, XK_w);
    XGrabKey(other, keycode, ControlMask | Mod1Mask, DefaultRootWindow(other), True, GrabModeAsync,
             GrabModeAsync);
    XSync(other, False);

    QSignalSpy results(&SettingsControl::instance(), &SettingsControl::result);
    SettingsControl::instance().setShowHotkey(
        QKeySequence("Ctrl+Alt+W").toString(QKeySequence::NativeText));
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.at(0).at(0).toBool(), false);
    QCOMPARE(visibleNotice(), QStringLiteral("设置失败！"));
    XCloseDisplay(other);
}

void TestMainWindow::shouldUnregisterEmptyHotkeySilently()
{
    FormMain &window = *m_window;
    SettingsControl &settings = SettingsControl::instance();
    settings.setShowHotkey(QKeySequence("Ctrl+Alt+E").toString(QKeySequence::NativeText));
    Notices::clear();
    QSignalSpy results(&settings, &SettingsControl::result);
    settings.setShowHotkey(QString());
    QCOMPARE(results.count(), 0);
    QVERIFY(visibleNotice().isEmpty());
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+e"}));
    QVERIFY(stillAfter(300, [&window] { return window.isVisible(); }));
}

// A bare key in the settings file (typed by hand, or pasted by an older version) would take
// that key from every program.
void TestMainWindow::shouldNeverHoldBareKeySystemWide()
{
    FormMain &window = *m_window;
    QSignalSpy results(&SettingsControl::instance(), &SettingsControl::result);
    SettingsControl::instance().setShowHotkey(QStringLiteral("Z"));
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.at(0).at(0).toBool(), false);
    QVERIFY(X11Desktop::xdotool({"key", "z"}));
    QVERIFY(stillAfter(300, [&window] { return window.isVisible(); }));
}

void TestMainWindow::shouldFollowTraySettings()
{
    FormMain &window = *m_window;
    SettingsControl &settings = SettingsControl::instance();
    auto *tray = window.findChild<QSystemTrayIcon *>("trayIcon");
    QVERIFY(tray->isVisible());

    // Hidden together with the window: without a hotkey nothing could bring it back, so the
    // window only minimises.
    settings.setTrayIconHideWithMain(true);
    window.onShow();
    QTRY_VERIFY(window.isMinimized());
    QVERIFY(tray->isVisible());

    settings.setShowHotkey(QKeySequence("Ctrl+Alt+T").toString(QKeySequence::NativeText));
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+t"}));
    QTRY_VERIFY(isShownAndActive(window));
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+t"}));
    QTRY_VERIFY(window.isHidden());
    QVERIFY(!tray->isVisible());
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+t"}));
    QTRY_VERIFY(isShownAndActive(window));
    QVERIFY(tray->isVisible());
    settings.setTrayIconHideWithMain(false);

    settings.setTrayIconHide(true);
    QVERIFY(!tray->isVisible());
    settings.setTrayIconColor(QColor("#ff8800"));
    QVERIFY(!tray->isVisible());
    window.showMinimized();
    window.onShow();
    QVERIFY(!tray->isVisible());
    settings.setTrayIconHide(false);
    QVERIFY(tray->isVisible());
}

// Hidden and shown again within a blink, the window is not yet reported active when the next
// press comes: it is in front all the same, and that press hides it.
void TestMainWindow::shouldHideOnPressRightAfterQuickShow()
{
    FormMain &window = *m_window;
    SettingsControl::instance().setShowHotkey(
        QKeySequence("Ctrl+Alt+Q").toString(QKeySequence::NativeText));
    window.onShow();
    QVERIFY(window.isHidden());
    window.onShow();
    QVERIFY(window.isVisible());
    window.onShow();
    QVERIFY(window.isHidden());
    // What the window system answered to those three comes in before a next press would: a
    // press is an event behind them. Qt taken by surprise (a map it had not yet seen undone)
    // sets the input focus on an unmapped window and does not ask again.
    QTRY_VERIFY(!window.windowHandle()->isExposed());

    // Once another window has the focus, a press brings it back to the front.
    window.onShow();
    QTRY_VERIFY(isShownAndActive(window));
    QWidget other;
    other.setGeometry(300, 300, 200, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    window.onShow();
    QVERIFY(window.isVisible());
    QTRY_VERIFY(isShownAndActive(window));
}

void TestMainWindow::shouldTakeTheKeyboardWhenCalledUpRightAfterHiding_data()
{
    QTest::addColumn<int>("hiddenMs");
    for (int ms : {0, 30, 100, 250})
        QTest::addRow("%d ms", ms) << ms;
}

// The user hides the window and calls it up again at once: the window, its search box and what
// follows the activation (the Latin switch, the focus stealing guard) hold the keyboard again,
// also when the window system reports the first focus change while the window is hidden.
void TestMainWindow::shouldTakeTheKeyboardWhenCalledUpRightAfterHiding()
{
    QFETCH(int, hiddenMs);
    FormMain &window = *m_window;
    SettingsControl::instance().setShowHotkey(
        QKeySequence("Ctrl+Alt+Q").toString(QKeySequence::NativeText));
    // Hidden, the window leaves the focus to another client's window, as on a desktop (a
    // notice of this process would take it instead).
    Notices::clear();
    QProcess other;
    other.start(QUIVER_KEY_WITNESS, QStringList());
    auto end = qScopeGuard([&] {
        other.kill();
        other.waitForFinished();
    });
    // The window manager gives a new window the focus.
    QByteArray said;
    QTRY_VERIFY((said += other.readAllStandardOutput()).contains("focused"));
    QVERIFY(X11Desktop::xdotool({"windowactivate", "--sync", QString::number(window.winId())}));
    QTRY_VERIFY(isShownAndActive(window));
    auto *search = window.findChild<QLineEdit *>("lineEdit_search");
    QTRY_VERIFY(search->hasFocus());
    for (int round = 0; round < 3; ++round) {
        window.onShow();
        QVERIFY(window.isHidden());
        QTest::qWait(hiddenMs);
        window.onShow();
        QTRY_VERIFY(isShownAndActive(window));
        QTRY_VERIFY(search->hasFocus());
        QVERIFY(stillAfter(500, [&] { return isShownAndActive(window) && search->hasFocus(); }));
    }
}

void TestMainWindow::shouldStayReachableWhenTrayIsHiddenWhileHidden()
{
    FormMain &window = *m_window;
    SettingsControl &settings = SettingsControl::instance();
    auto *tray = window.findChild<QSystemTrayIcon *>("trayIcon");
    // The tray icon goes with the window; then the hotkey that could bring it back is cleared.
    settings.setTrayIconHideWithMain(true);
    settings.setShowHotkey(QKeySequence("Ctrl+Alt+Q").toString(QKeySequence::NativeText));
    QVERIFY(X11Desktop::xdotool({"key", "ctrl+alt+q"}));
    QTRY_VERIFY(window.isHidden());
    QVERIFY(!tray->isVisible());
    settings.setShowHotkey(QString());
    settings.setTrayIconHideWithMain(false);
    QTRY_VERIFY(window.isVisible() && window.isMinimized());

    // No hotkey: with the tray icon gone, nothing could bring the hidden window back.
    window.hide();
    settings.setTrayIconHide(true);
    QTRY_VERIFY(window.isVisible() && window.isMinimized());
    settings.setTrayIconHide(false);
}

void TestMainWindow::shouldStayOnTopAndBack()
{
    FormMain &window = *m_window;
    auto *onTop = window.findChild<QAction *>("actionStayOnTop");
    const QRect geometry = window.geometry();

    onTop->trigger();
    QCOMPARE(visibleNotice(), QStringLiteral("已置顶显示"));
    QTRY_VERIFY(X11Desktop::isKeptAbove(&window));
    QTRY_COMPARE(window.geometry(), geometry);
    QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    Notices::clear();

    onTop->trigger();
    QCOMPARE(visibleNotice(), QStringLiteral("已取消置顶"));
    QTRY_VERIFY(!X11Desktop::isKeptAbove(&window));
    QVERIFY(window.isVisible());
}

// Positions are read from the X server itself: Qt's own idea of a top-level window's position can
// lag behind under a reparenting window manager.
void TestMainWindow::shouldMoveByTitleBarButKeepButtonsClickable()
{
    FormMain &window = *m_window;
    const QPoint start = windowPosition(window);
    // The handle of the title bar, between the search box and the history button.
    const auto *history = window.findChild<QToolButton *>("toolButton_history");
    const QPoint grip = start + history->mapTo(&window, QPoint(-20, history->height() / 2));
    QVERIFY(
        X11Desktop::xdotool({"mousemove", QString::number(grip.x()), QString::number(grip.y())}));
    QVERIFY(X11Desktop::xdotool({"mousedown", "1"}));
    QVERIFY(X11Desktop::xdotool(
        {"mousemove", QString::number(grip.x() + 120), QString::number(grip.y() + 60)}));
    QVERIFY(X11Desktop::xdotool(
        {"mousemove", QString::number(grip.x() + 150), QString::number(grip.y() + 80)}));
    QVERIFY(X11Desktop::xdotool({"mouseup", "1"}));
    QTRY_COMPARE(windowPosition(window), start + QPoint(150, 80));

    auto *minimize = window.findChild<QToolButton *>("toolButton_minimize");
    const QPoint button =
        windowPosition(window) + minimize->mapTo(&window, minimize->rect().center());
    QVERIFY(X11Desktop::xdotool(
        {"mousemove", QString::number(button.x()), QString::number(button.y()), "click", "1"}));
    QTRY_VERIFY(window.isMinimized());
}

// Qt's idea of the position is what notices and the saved geometry are placed from.
void TestMainWindow::shouldKnowWhereTheWindowManagerPutIt()
{
    for (int round = 0; round < 3; ++round) {
        m_program.reset();
        m_program = std::make_unique<Program>();
        m_window = &m_program->window();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QTRY_COMPARE(m_window->pos(), windowPosition(*m_window));
    }
}

QUIVER_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
