// The launcher's window with the session's real input method (fcitx5 with pinyin, IBus with
// libpinyin): "weixin" + Space composed into the search box, typed in the box itself, in each
// list of the catalogue, and at once behind the hotkey; and the input method back in Latin each
// time the window is called up, so that "wx" + Enter starts 微信, while the user's own switch
// keeps working and other programs keep their input method. Most cases twenty times.
#include "InputMethodDriver.h"

#include "CatalogueSupport.h"
#include "App/CommandLine.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Core/SettingsControl.h"
#include "TestSupport.h"

#include <QDBusMessage>
#include <QDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QScopeGuard>

#include <X11/keysym.h>

#include <memory>

namespace {
constexpr int tries = 20;
// For cases that set the session up anew each time.
constexpr int fewTries = 5;
// IBus's engine for the US keyboard, the session's first.
const QString usLayout = QStringLiteral("xkb:us::eng");
const QString witnessTitle = QStringLiteral("quiver key witness");
const QString witnessProgram = QFileInfo(QStringLiteral(QUIVER_KEY_WITNESS)).fileName();
} // namespace

class TestImTyping : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void shouldComposeInTheSearchBox_data() { addTries(); }
    void shouldComposeInTheSearchBox();
    void shouldComposeIntoTheBoxFromEachList_data();
    void shouldComposeIntoTheBoxFromEachList();
    void shouldStartInLatinWhenCalledUp_data();
    void shouldStartInLatinWhenCalledUp();
    void shouldStartInLatinWhateverKeySwitches_data();
    void shouldStartInLatinWhateverKeySwitches();
    void shouldLeaveOtherProgramsTheirInputMethod_data();
    void shouldLeaveOtherProgramsTheirInputMethod();
    void shouldKeepTheEngineTheUserChoseWhileShown_data() { addTries(fewTries); }
    void shouldKeepTheEngineTheUserChoseWhileShown();
    void shouldTakeKeysTypedAtOnceAfterTheHotkey_data();
    void shouldTakeKeysTypedAtOnceAfterTheHotkey();
    // Last: it restarts the IBus daemon the others type through.
    void shouldStartInLatinAfterIBusRestarted();

private:
    static void addTries(int count = tries);
    QLineEdit *search() const { return m_window->findChild<QLineEdit *>("lineEdit_search"); }
    int runs() const;
    static QString program()
    {
        return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    }
    // The window in front with the keyboard, the input method composing for it.
    void bringBackComposing();
    void hide();
    // Pinyin on as the user switches it in that program's window, which has the keyboard:
    // Ctrl+Space for fcitx5, the desktop's input source switch (a global engine set over D-Bus)
    // for IBus.
    void switchOnAsTheUser(const QString &program);
    // The witness's box composing: with fcitx5, its input context focused.
    void waitForWitnessComposing(QProcess &witness);
    // Types "weixin" + Space and expects 微信 in the box.
    void composeWeixin();

    InputMethodDriver m_driver;
    std::unique_ptr<CatalogueWorkDir> m_dir;
    std::unique_ptr<Program> m_program;
    FormMain *m_window = nullptr;
    QString m_marker;
};

void TestImTyping::addTries(int count)
{
    QTest::addColumn<int>("attempt");
    for (int attempt = 1; attempt <= count; ++attempt)
        QTest::addRow("%d", attempt) << attempt;
}

void TestImTyping::initTestCase()
{
    if (InputMethodDriver::kind() == InputMethodDriver::Kind::NoSession)
        QSKIP("runs inside tests/inputmethods/im-session.sh");
    QString reason;
    QVERIFY2(m_driver.connect(&reason), qPrintable(reason));
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
    m_marker = m_dir->path("weixin.sh");
    QFile script(m_marker);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho ran >> '%1.out'\n").arg(m_marker).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    Catalogue::reset("(1, '常用', 0)", "(1, '聊天', 1, 0)");
    Catalogue::exec(QStringLiteral("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID, "
                                   "Row) VALUES (1, '微信', 0, '%1', 1, 1, 0), "
                                   "(2, '微博', 3, 'true', 1, 1, 1)")
                        .arg(m_marker));
    SettingsControl &settings = SettingsControl::instance();
    settings.setInstantSearch(true);
    settings.setThenHide(false);
    settings.setImportOffered(true);
    m_program = std::make_unique<Program>();
    m_window = &m_program->window();
    m_window->setGeometry(100, 100, 700, 500);
    settings.setShowHotkey(QKeySequence("Ctrl+Alt+J").toString(QKeySequence::NativeText));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QVERIFY(m_driver.waitForKeyboardFocus(m_window->windowHandle()));
    QVERIFY(m_driver.waitForFocusedContext());
}

void TestImTyping::cleanupTestCase()
{
    m_program.reset();
    m_dir.reset();
}

void TestImTyping::init()
{
    SettingsControl::instance().setLatinOnShow(true);
    if (m_window && !m_window->isHidden()) {
        search()->clear();
        search()->setFocus();
    }
}

int TestImTyping::runs() const
{
    QFile out(m_marker + ".out");
    return out.open(QIODevice::ReadOnly) ? out.readAll().count('\n') : 0;
}

void TestImTyping::bringBackComposing()
{
    // Not onShow(): that hides a window the window manager already names active while Qt does
    // not know yet, as after another program in front of it ended.
    if (m_window->isHidden() || !m_window->isActiveWindow())
        m_window->onCommand(CommandLine::Command::Show, Activation::Request{});
    QVERIFY(m_driver.waitForKeyboardFocus(m_window->windowHandle()));
    QTRY_VERIFY(m_window->isActiveWindow());
    // The other client killed at the end of a try may have been the one fcitx5 took for
    // focused (its Qt never saw the focus go under the hotkey's grab): the box is focused anew.
    if (m_driver.state() == 0) {
        search()->clearFocus();
        search()->setFocus();
    }
    QVERIFY(m_driver.waitForFocusedContext());
    if (!m_driver.isActive())
        QVERIFY(m_driver.setActive(true));
}

void TestImTyping::hide()
{
    // Escape empties the box, then hides the window, as a user leaves it.
    search()->setFocus();
    QVERIFY(m_driver.tap(XK_Escape));
    if (!search()->text().isEmpty() || !m_window->isHidden())
        QVERIFY(m_driver.tap(XK_Escape));
    QTRY_VERIFY(m_window->isHidden());
    // The window system's answer to the hiding comes in before a next key press would: called
    // up before Qt has seen the unmap, it asks for the focus of an unmapped window, and not again.
    QTRY_VERIFY(!m_window->windowHandle()->isExposed());
}

void TestImTyping::switchOnAsTheUser(const QString &program)
{
    if (InputMethodDriver::kind() == InputMethodDriver::Kind::Fcitx5) {
        QVERIFY(m_driver.waitForContextOf(program));
        QVERIFY(m_driver.tap(XK_space, {XK_Control_L}));
        // A key focuses the program's input context also where fcitx5 missed the focus coming.
        QVERIFY(m_driver.waitForFocusedContextOf(program));
        QTRY_COMPARE(m_driver.state(), 2);
    } else {
        QVERIFY(m_driver.setActive(true));
    }
}

void TestImTyping::waitForWitnessComposing(QProcess &witness)
{
    if (InputMethodDriver::kind() != InputMethodDriver::Kind::Fcitx5)
        return;
    // Qt's fcitx5 frontend focuses a new input context only if its window still holds the
    // focus when fcitx5 answers the context's creation, and fcitx5 takes no keys for a context
    // without the focus. Lost in that race, the box is focused anew, as a user clicks into it.
    if (m_driver.waitForFocusedContextOf(witnessProgram, 3000))
        return;
    witness.write("refocus\n");
    QVERIFY(m_driver.waitForFocusedContextOf(witnessProgram));
}

void TestImTyping::composeWeixin()
{
    search()->clear();
    QVERIFY(m_driver.type("weixin"));
    QVERIFY(m_driver.tap(XK_space));
    QVERIFY(m_driver.sync());
    QTRY_COMPARE(search()->text(), QStringLiteral("微信"));
}

void TestImTyping::shouldComposeInTheSearchBox()
{
    bringBackComposing();
    const int before = runs();
    QVERIFY(m_driver.type("weixin"));
    QVERIFY(m_driver.tap(XK_space));
    QVERIFY(m_driver.sync());
    QTRY_COMPARE(search()->text(), QStringLiteral("微信"));
    QVERIFY(m_driver.tap(XK_Return));
    QTRY_COMPARE(runs(), before + 1);
}

void TestImTyping::shouldComposeIntoTheBoxFromEachList_data()
{
    QTest::addColumn<QString>("list");
    for (const char *list : {"listView_types", "listView_groups", "listView_items"})
        for (int attempt = 1; attempt <= tries; ++attempt)
            QTest::addRow("%s %d", list, attempt) << QString::fromLatin1(list);
}

// Clicked into a list, the user types: the composition runs into the search box, nothing raw,
// nothing lost.
void TestImTyping::shouldComposeIntoTheBoxFromEachList()
{
    QFETCH(QString, list);
    bringBackComposing();
    auto *view = m_window->findChild<QListView *>(list);
    QTRY_VERIFY(view->isVisible());
    view->setFocus(Qt::MouseFocusReason);
    view->setCurrentIndex(view->model()->index(0, 0));
    QTRY_VERIFY(view->hasFocus());
    QVERIFY(m_driver.waitForFocusedContext());
    QVERIFY(m_driver.isActive());
    QVERIFY(m_driver.type("weixin"));
    QVERIFY(m_driver.tap(XK_space));
    QVERIFY(m_driver.sync());
    QTRY_COMPARE(search()->text(), QStringLiteral("微信"));
    QVERIFY(search()->hasFocus());
}

void TestImTyping::shouldStartInLatinWhenCalledUp_data()
{
    QTest::addColumn<bool>("hiddenBefore");
    // IBus: the engine before the US one in preload-engines; empty for the session's own.
    QTest::addColumn<QString>("firstLayout");
    for (int attempt = 1; attempt <= tries; ++attempt) {
        QTest::addRow("from hidden %d", attempt) << true << QString();
        QTest::addRow("while in front %d", attempt) << false << QString();
    }
    for (int attempt = 1; attempt <= fewTries; ++attempt)
        QTest::addRow("first layout gb %d", attempt) << true << QStringLiteral("xkb:gb::eng");
}

// Left composing, the window comes back in Latin: "wx" are letters that find 微信, and the
// first Enter starts it. The user's switch then turns pinyin on, and it stays on when the
// window gets the keyboard back from a dialog of its own.
void TestImTyping::shouldStartInLatinWhenCalledUp()
{
    QFETCH(bool, hiddenBefore);
    QFETCH(QString, firstLayout);
    if (!firstLayout.isEmpty() && InputMethodDriver::kind() != InputMethodDriver::Kind::IBus)
        QSKIP("fcitx5's Latin input method is its profile's first");
    const QString preload = QStringLiteral("/desktop/ibus/general/preload-engines");
    QString sessionLayouts;
    if (!firstLayout.isEmpty()) {
        QProcess read;
        read.start(QStringLiteral("dconf"), {QStringLiteral("read"), preload});
        QVERIFY(read.waitForFinished());
        sessionLayouts = QString::fromUtf8(read.readAllStandardOutput()).trimmed();
        QVERIFY(!sessionLayouts.isEmpty());
    }
    auto restoreLayouts = qScopeGuard([&] {
        if (!sessionLayouts.isEmpty())
            QProcess::execute(QStringLiteral("dconf"),
                              {QStringLiteral("write"), preload, sessionLayouts});
    });
    // The layout engine a user with another keyboard lists first, not US, is the Latin one.
    if (!firstLayout.isEmpty())
        QCOMPARE(QProcess::execute(
                     QStringLiteral("dconf"),
                     {QStringLiteral("write"), preload,
                      QStringLiteral("['%1', '%2', 'libpinyin']").arg(firstLayout, usLayout)}),
                 0);
    bringBackComposing();
    if (hiddenBefore) {
        hide();
        m_window->onShow();
    } else {
        // Called up again while in front ("quiver --show"): the window keeps the keyboard, and
        // no focus change follows.
        m_window->onCommand(CommandLine::Command::Show, Activation::Request{});
    }
    QVERIFY(m_driver.waitForKeyboardFocus(m_window->windowHandle()));
    QVERIFY(m_driver.waitForFocusedContextOf(program()));
    QTRY_COMPARE(m_driver.state(), 1);
    if (!firstLayout.isEmpty())
        QCOMPARE(m_driver.currentInputMethod(), firstLayout);
    const int before = runs();
    QVERIFY(m_driver.type("wx"));
    QVERIFY(m_driver.tap(XK_Return));
    QVERIFY(m_driver.sync());
    QTRY_COMPARE(search()->text(), QStringLiteral("wx"));
    QTRY_COMPARE(runs(), before + 1);
    QVERIFY(!m_driver.isActive());

    switchOnAsTheUser(program());
    QDialog dialog(m_window);
    dialog.setGeometry(200, 200, 200, 100);
    dialog.show();
    QVERIFY(m_driver.waitForKeyboardFocus(dialog.windowHandle()));
    dialog.close();
    QVERIFY(m_driver.waitForKeyboardFocus(m_window->windowHandle()));
    QTRY_VERIFY(m_window->isActiveWindow());
    search()->setFocus();
    composeWeixin();
    QCOMPARE(m_driver.state(), 2);
}

void TestImTyping::shouldStartInLatinWhateverKeySwitches_data()
{
    // The keysym of fcitx5's AltTriggerKeys, the Shift that switches back and forth.
    QTest::addColumn<QString>("shift");
    for (const char *shift : {"Shift_L", "Shift_R"})
        for (int attempt = 1; attempt <= fewTries; ++attempt)
            QTest::addRow("%s %d", shift, attempt) << QString::fromLatin1(shift);
}

// Whichever Shift fcitx5 switches with, the window comes back in Latin, and the user's keys
// switch as they are set: Ctrl+Space on, then that Shift off and on again.
void TestImTyping::shouldStartInLatinWhateverKeySwitches()
{
    QFETCH(QString, shift);
    if (InputMethodDriver::kind() != InputMethodDriver::Kind::Fcitx5)
        QSKIP("fcitx5's switch keys");
    QFile config(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/fcitx5/config"));
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QByteArray original = config.readAll();
    config.close();
    const auto reload = [this] {
        const QDBusMessage reply = m_driver.bus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.fcitx.Fcitx5"), QStringLiteral("/controller"),
            QStringLiteral("org.fcitx.Fcitx.Controller1"), QStringLiteral("ReloadConfig")));
        return reply.type() == QDBusMessage::ReplyMessage;
    };
    auto restoreConfig = qScopeGuard([&] {
        if (config.open(QIODevice::WriteOnly | QIODevice::Truncate))
            config.write(original);
        config.close();
        reload();
    });
    QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
    config.write(original + "\n[Hotkey/AltTriggerKeys]\n0=" + shift.toLatin1() + "\n");
    config.close();
    QVERIFY(reload());

    bringBackComposing();
    hide();
    m_window->onShow();
    QVERIFY(m_driver.waitForKeyboardFocus(m_window->windowHandle()));
    QVERIFY(m_driver.waitForFocusedContextOf(program()));
    QTRY_COMPARE(m_driver.state(), 1);

    const unsigned long shiftKey = shift == QLatin1String("Shift_R") ? XK_Shift_R : XK_Shift_L;
    QVERIFY(m_driver.tap(XK_space, {XK_Control_L}));
    QTRY_COMPARE(m_driver.state(), 2);
    QVERIFY(m_driver.tap(shiftKey));
    QTRY_COMPARE(m_driver.state(), 1);
    QVERIFY(m_driver.tap(shiftKey));
    QTRY_COMPARE(m_driver.state(), 2);
    composeWeixin();
}

void TestImTyping::shouldLeaveOtherProgramsTheirInputMethod_data()
{
    QTest::addColumn<bool>("hides");
    for (int attempt = 1; attempt <= fewTries; ++attempt) {
        QTest::addRow("window hides %d", attempt) << true;
        QTest::addRow("other program activated %d", attempt) << false;
    }
}

// Another program composing calls the window up with the hotkey: the window starts in Latin,
// and once the other program has the keyboard back, be it that the window hid or that the user
// went back to it, the program composes as before.
void TestImTyping::shouldLeaveOtherProgramsTheirInputMethod()
{
    QFETCH(bool, hides);
    bringBackComposing();
    hide();
    // Qt takes a hidden window for focused for a moment, and a focus change within it would
    // focus its input context again, after the other program's: a user is never that fast.
    QTRY_VERIFY(!QGuiApplication::focusWindow());
    QProcess other;
    other.start(QUIVER_KEY_WITNESS, QStringList());
    QVERIFY(other.waitForStarted());
    auto end = qScopeGuard([&] {
        other.kill();
        other.waitForFinished();
    });
    QByteArray said;
    QTRY_VERIFY((said += other.readAllStandardOutput()).contains("focused"));
    waitForWitnessComposing(other);
    switchOnAsTheUser(witnessProgram);

    QVERIFY(m_driver.tap(XK_j, {XK_Control_L, XK_Alt_L}));
    QTRY_VERIFY(m_window->isActiveWindow());
    QVERIFY(m_driver.waitForKeyboardFocus(m_window->windowHandle()));
    QVERIFY(m_driver.waitForFocusedContextOf(program()));
    QTRY_COMPARE(m_driver.state(), 1);
    QVERIFY(m_driver.type("wx"));
    QVERIFY(m_driver.sync());
    QTRY_COMPARE(search()->text(), QStringLiteral("wx"));

    if (hides)
        hide();
    else
        QVERIFY(m_driver.activateWindow(witnessTitle));
    QVERIFY(m_driver.waitForKeyboardFocus(witnessTitle));
    // IBus's engine is given back once Qt reports that the window lost the keyboard.
    if (InputMethodDriver::kind() == InputMethodDriver::Kind::IBus)
        QTRY_VERIFY(m_driver.currentInputMethod() == QLatin1String("libpinyin"));
    QVERIFY(m_driver.type("weixin"));
    QVERIFY(m_driver.tap(XK_space));
    QTRY_VERIFY((said += other.readAllStandardOutput()).contains("微信"));
}

// IBus's engine is given back as the window hides, but not over one the user chose meanwhile.
void TestImTyping::shouldKeepTheEngineTheUserChoseWhileShown()
{
    if (InputMethodDriver::kind() != InputMethodDriver::Kind::IBus)
        QSKIP("fcitx5 keeps a state per window");
    const QString chosen = QStringLiteral("xkb:gb::eng");
    bringBackComposing();
    hide();
    m_window->onShow();
    QVERIFY(m_driver.waitForKeyboardFocus(m_window->windowHandle()));
    QTRY_COMPARE(m_driver.currentInputMethod(), usLayout);
    QVERIFY(m_driver.selectIBusEngine(chosen));
    hide();
    QCOMPARE(m_driver.currentInputMethod(), chosen);
}

void TestImTyping::shouldTakeKeysTypedAtOnceAfterTheHotkey_data()
{
    QTest::addColumn<bool>("latinOnShow");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    for (int attempt = 1; attempt <= tries; ++attempt) {
        QTest::addRow("composed %d", attempt)
            << false << QStringLiteral("weixin ") << QStringLiteral("微信");
        QTest::addRow("latin on call %d", attempt)
            << true << QStringLiteral("wx") << QStringLiteral("wx");
    }
}

// Typed behind the hotkey before the window has the keyboard, the keys still go through the
// input method: composed with Latin on call off, Latin letters with it on.
void TestImTyping::shouldTakeKeysTypedAtOnceAfterTheHotkey()
{
    QFETCH(bool, latinOnShow);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    SettingsControl::instance().setLatinOnShow(latinOnShow);
    bringBackComposing();
    hide();
    QProcess other;
    other.start(QUIVER_KEY_WITNESS, QStringList());
    QVERIFY(other.waitForStarted());
    auto end = qScopeGuard([&] {
        other.kill();
        other.waitForFinished();
    });
    QByteArray said;
    QTRY_VERIFY((said += other.readAllStandardOutput()).contains("focused"));
    const int before = runs();
    QVERIFY(m_driver.tap(XK_j, {XK_Control_L, XK_Alt_L}));
    QVERIFY(m_driver.type(typed));
    QTRY_VERIFY(m_window->isActiveWindow());
    QVERIFY(m_driver.sync());
    QTRY_COMPARE(search()->text(), expected);
    QVERIFY(m_driver.tap(XK_Return));
    QTRY_COMPARE(runs(), before + 1);
    // Nothing reached the window that had the keyboard.
    QCOMPARE(said + other.readAllStandardOutput(), QByteArray("focused\n"));
}

// A restarted daemon listens at a new address, and the connection to the old one is dead: the
// next call-up still finds IBus.
void TestImTyping::shouldStartInLatinAfterIBusRestarted()
{
    if (InputMethodDriver::kind() != InputMethodDriver::Kind::IBus)
        QSKIP("IBus's own bus");
    bringBackComposing();
    hide();
    m_window->onShow();
    QTRY_COMPARE(m_driver.currentInputMethod(), usLayout);
    // As on a desktop: the daemon's file says where it listens, the environment nothing.
    qunsetenv("IBUS_ADDRESS");
    QCOMPARE(QProcess::execute(QStringLiteral("ibus"), {QStringLiteral("restart")}), 0);
    QString reason;
    QTRY_VERIFY2_WITH_TIMEOUT(m_driver.connect(&reason) && m_driver.setActive(true, 200),
                              qPrintable(reason), 20000);
    m_window->onCommand(CommandLine::Command::Show, Activation::Request{});
    QTRY_COMPARE(m_driver.currentInputMethod(), usLayout);
}

// Not QUIVER_TEST_MAIN: Qt's IBus frontend finds its bus under the user's configuration folder,
// which Qt's test mode would move; the session's folders are throw-away already.
int main(int argc, char **argv)
{
    qputenv("LANG", "C.UTF-8");
    QApplication app(argc, argv);
    app.setApplicationVersion(QStringLiteral(QUIVER_VERSION));
    silenceLog();
    TestImTyping test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_imtyping.moc"
