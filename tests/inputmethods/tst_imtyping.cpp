// The launcher's window with the session's real input method (fcitx5 with pinyin, IBus with
// libpinyin): "weixin" + Space composed into the search box, typed in the box itself, in each
// list of the catalogue, and at once behind the hotkey; and the input method back in Latin each
// time the window is called up, so that "wx" + Enter starts 微信. Twenty times each.
#include "InputMethodDriver.h"

#include "CatalogueSupport.h"
#include "FormMain.h"
#include "SettingsControl.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QListView>
#include <QProcess>

#include <X11/keysym.h>

#include <memory>

namespace {
constexpr int tries = 20;
}

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
    void shouldStartInLatinWhenCalledUp_data() { addTries(); }
    void shouldStartInLatinWhenCalledUp();
    void shouldComposeKeysTypedAtOnceAfterTheHotkey_data() { addTries(); }
    void shouldComposeKeysTypedAtOnceAfterTheHotkey();

private:
    static void addTries();
    QLineEdit *search() const { return m_window->findChild<QLineEdit *>("lineEdit_search"); }
    int runs() const;
    // The window in front with the keyboard, the input method composing for it.
    void bringBackComposing();
    void hide();

    InputMethodDriver m_driver;
    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<FormMain> m_window;
    QString m_marker;
};

void TestImTyping::addTries()
{
    QTest::addColumn<int>("attempt");
    for (int attempt = 1; attempt <= tries; ++attempt)
        QTest::addRow("%d", attempt) << attempt;
}

void TestImTyping::initTestCase()
{
    if (InputMethodDriver::kind() == InputMethodDriver::Kind::NoSession)
        QSKIP("runs inside tests/inputmethods/im-session.sh");
    QString reason;
    QVERIFY2(m_driver.connect(&reason), qPrintable(reason));
    m_dir = std::make_unique<TestWorkDir>();
    {
        FormMain creatingTables;
    }
    m_marker = m_dir->path("weixin.sh");
    QFile script(m_marker);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho ran >> '%1.out'\n").arg(m_marker).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, '常用', 0)");
    Catalogue::exec("INSERT INTO Groups(ID, Name, TypesID, Row) VALUES (1, '聊天', 1, 0)");
    Catalogue::exec(QStringLiteral("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID, "
                                   "Row) VALUES (1, '微信', 0, '%1', 1, 1, 0), "
                                   "(2, '微博', 3, 'true', 1, 1, 1)")
                        .arg(m_marker));
    SettingsControl &settings = SettingsControl::instance();
    settings.setInstantSearch(true);
    settings.setThenHide(false);
    settings.setValue("Form/ImportOffered", true);
    m_window = std::make_unique<FormMain>();
    m_window->setGeometry(100, 100, 700, 500);
    settings.setHotKey_showApp(QKeySequence("Ctrl+Alt+J").toString(QKeySequence::NativeText));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QVERIFY(m_driver.waitForKeyboardFocus(m_window->windowHandle()));
    QVERIFY(m_driver.waitForFocusedContext());
}

void TestImTyping::cleanupTestCase()
{
    m_window.reset();
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
    if (m_window->isHidden() || !m_window->isActiveWindow())
        m_window->onShow();
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
}

void TestImTyping::shouldComposeInTheSearchBox()
{
    bringBackComposing();
    const int before = runs();
    QVERIFY(m_driver.type("weixin"));
    QVERIFY(m_driver.tap(XK_space));
    QVERIFY(m_driver.sync());
    QCOMPARE(search()->text(), QStringLiteral("微信"));
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

// Left composing, the window comes back in Latin: "wx" are letters that find 微信, and the
// first Enter starts it.
void TestImTyping::shouldStartInLatinWhenCalledUp()
{
    bringBackComposing();
    hide();
    m_window->onShow();
    QVERIFY(m_driver.waitForKeyboardFocus(m_window->windowHandle()));
    QVERIFY(m_driver.waitForFocusedContext());
    const int before = runs();
    QTRY_COMPARE(m_driver.state(), 1);
    QVERIFY(m_driver.type("wx"));
    QVERIFY(m_driver.tap(XK_Return));
    QVERIFY(m_driver.sync());
    QCOMPARE(search()->text(), QStringLiteral("wx"));
    QTRY_COMPARE(runs(), before + 1);
    QVERIFY(!m_driver.isActive());
    // The user's own switch still works while the window shows.
    QVERIFY(m_driver.setActive(true));
    search()->clear();
    QVERIFY(m_driver.type("weixin"));
    QVERIFY(m_driver.tap(XK_space));
    QVERIFY(m_driver.sync());
    QCOMPARE(search()->text(), QStringLiteral("微信"));
}

// Typed behind the hotkey before the window has the keyboard, the keys still go through the
// input method: with Latin on call off, "weixin" + Space composes 微信.
void TestImTyping::shouldComposeKeysTypedAtOnceAfterTheHotkey()
{
    SettingsControl::instance().setLatinOnShow(false);
    bringBackComposing();
    hide();
    QProcess other;
    other.start(QUIVER_KEY_WITNESS, QStringList());
    QVERIFY(other.waitForStarted());
    QByteArray said;
    QTRY_VERIFY((said += other.readAllStandardOutput()).contains("focused"));
    const int before = runs();
    QVERIFY(m_driver.tap(XK_j, {XK_Control_L, XK_Alt_L}));
    QVERIFY(m_driver.type("weixin"));
    QVERIFY(m_driver.tap(XK_space));
    QTRY_VERIFY(m_window->isActiveWindow());
    QVERIFY(m_driver.sync());
    QCOMPARE(search()->text(), QStringLiteral("微信"));
    QVERIFY(m_driver.tap(XK_Return));
    QTRY_COMPARE(runs(), before + 1);
    // Nothing reached the window that had the keyboard.
    QCOMPARE(said + other.readAllStandardOutput(), QByteArray("focused\n"));
    other.kill();
    other.waitForFinished();
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
