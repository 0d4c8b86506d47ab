// The desktop harness itself, in each desktop session.sh makes: a Qt X11 window gets the keyboard
// and the text typed through DesktopKeys, round after round, and the desktop's own shortcut
// service runs a command when its keys are pressed the same way.
#include "DesktopKeys.h"

#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int rounds = 20;
// Free in GNOME's and KWin's default bindings.
constexpr int shortcut = Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_F11;

// The probe window in a process of its own, as the program under test would be; its lines are
// collected as they come.
class Probe
{
public:
    Probe(const QString &title, const QPoint &at)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine())
                m_lines.append(QString::fromUtf8(m_process.readLine()).trimmed());
        });
        m_process.start(QStringLiteral(QUIVER_DESKTOP_PROBE),
                        {title, QStringLiteral("%1,%2").arg(at.x()).arg(at.y())});
    }
    ~Probe()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    // The last line that starts with the word, without it; empty if none came yet.
    QString last(const QString &word) const
    {
        const QString prefix = word + QLatin1Char(' ');
        for (int i = m_lines.size() - 1; i >= 0; --i) {
            if (m_lines.at(i) == word)
                return word;
            if (m_lines.at(i).startsWith(prefix))
                return m_lines.at(i).mid(prefix.size());
        }
        return {};
    }
    unsigned long window() const { return last(QStringLiteral("window")).toULong(nullptr, 16); }
    QString lines() const { return m_lines.join(QLatin1String(" | ")); }

private:
    QProcess m_process;
    QStringList m_lines;
};

QStringList lines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool gsettings(const QStringList &arguments, QString *error)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral("gsettings"), arguments);
    if (tool.waitForFinished(20000) && tool.exitStatus() == QProcess::NormalExit &&
        tool.exitCode() == 0)
        return true;
    *error = QStringLiteral("gsettings %1: %2")
                 .arg(arguments.join(QLatin1Char(' ')), QString::fromUtf8(tool.readAll()));
    return false;
}

QString millis(qint64 ms)
{
    return QStringLiteral("%1 ms").arg(ms);
}

} // namespace

class TestDesktopSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowTakesFocusAndText();
    void gnomeCustomKeybindingRuns();
    void kdeGlobalShortcutRuns();

private:
    // Presses the shortcut once per round; each press must start the command once more.
    void pressShortcutRounds(const QString &marker);

    DesktopKeys m_keys;
    QTemporaryDir m_folder;
};

void TestDesktopSession::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("QUIVER_TEST_DESKTOP"))
        QSKIP("runs inside a desktop: tests/desktops/session.sh <desktop> <this test>");
    QVERIFY(m_folder.isValid());
    QElapsedTimer timer;
    timer.start();
    QVERIFY2(m_keys.open(), qPrintable(m_keys.error()));
    qInfo("%s: input ready in %s", qPrintable(m_keys.desktop()),
          qPrintable(millis(timer.elapsed())));
}

void TestDesktopSession::windowTakesFocusAndText()
{
    // A second window the keyboard is sent to first in each round, so that it is the click that
    // brings it back. Apart from the probe's place, so that no click lands on the other window.
    Probe other(QStringLiteral("Quiver probe, elsewhere"), QPoint(60, 80));
    QTRY_VERIFY2_WITH_TIMEOUT(other.window() != 0, qPrintable(other.lines()), 15000);
    QElapsedTimer all;
    all.start();
    int focusedOnMap = 0, focusOnWindowItself = 0;
    qint64 slowest = 0;
    for (int round = 1; round <= rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        Probe probe(QStringLiteral("Quiver probe %1").arg(round), QPoint(560, 420));
        QTRY_VERIFY2_WITH_TIMEOUT(probe.window() != 0, qPrintable(probe.lines()), 15000);
        const unsigned long window = probe.window();
        const auto focusIsOn = [&](unsigned long expected) {
            return QStringLiteral("the focus is on 0x%1 (%2), not 0x%3")
                .arg(m_keys.focusedWindow(), 0, 16)
                .arg(m_keys.windowTitle(m_keys.focusedWindow()))
                .arg(expected, 0, 16)
                .toLocal8Bit();
        };
        // Whether the window manager gave the new window the keyboard by itself.
        if (QTest::qWaitFor([&] { return m_keys.hasFocus(window); }, 300))
            ++focusedOnMap;

        QVERIFY2(m_keys.focusWindow(other.window()), qPrintable(m_keys.error()));
        QTRY_VERIFY2_WITH_TIMEOUT(m_keys.hasFocus(other.window()),
                                  focusIsOn(other.window()).constData(), 5000);
        QVERIFY2(m_keys.focusWindow(window), qPrintable(m_keys.error()));
        QTRY_VERIFY2_WITH_TIMEOUT(m_keys.hasFocus(window), focusIsOn(window).constData(), 5000);
        if (m_keys.focusedWindow() == window)
            ++focusOnWindowItself;
        QTRY_COMPARE_WITH_TIMEOUT(probe.last(QStringLiteral("focused")), QStringLiteral("focused"),
                                  5000);

        // Every key from the first on, then something to overwrite: Ctrl+A must arrive as a
        // combination.
        QVERIFY2(m_keys.type(QStringLiteral("stale\n")), qPrintable(m_keys.error()));
        QTRY_COMPARE_WITH_TIMEOUT(probe.last(QStringLiteral("text")), QStringLiteral("stale"),
                                  5000);
        const QString text = QStringLiteral("Quiver %1, A-Z & a-z: ok!").arg(round);
        QVERIFY2(m_keys.press(QKeySequence(Qt::CTRL | Qt::Key_A)), qPrintable(m_keys.error()));
        QVERIFY2(m_keys.type(text), qPrintable(m_keys.error()));
        QVERIFY2(m_keys.press(QKeySequence(Qt::Key_Return)), qPrintable(m_keys.error()));
        QTRY_COMPARE_WITH_TIMEOUT(probe.last(QStringLiteral("text")), text, 5000);
        QVERIFY2(m_keys.press(QKeySequence(Qt::Key_Escape)), qPrintable(m_keys.error()));
        QTRY_COMPARE_WITH_TIMEOUT(probe.last(QStringLiteral("escape")), QStringLiteral("escape"),
                                  5000);
        // Nothing typed went to the window that had lost the focus.
        QCOMPARE(other.last(QStringLiteral("text")), QString());
        slowest = std::max(slowest, timer.elapsed());
        qInfo("round %d: %s", round, qPrintable(millis(timer.elapsed())));
    }
    qInfo("%s: %d rounds in %s, the slowest %s; %d of %d new windows had the focus without a "
          "click; X reported the focus on the window itself %d times, else within it",
          qPrintable(m_keys.desktop()), rounds, qPrintable(millis(all.elapsed())),
          qPrintable(millis(slowest)), focusedOnMap, rounds, focusOnWindowItself);
}

void TestDesktopSession::gnomeCustomKeybindingRuns()
{
    if (m_keys.desktop() != QLatin1String("gnome"))
        QSKIP("GNOME's custom keybindings");
    QVERIFY2(!m_keys.shellBinds(shortcut), "the shortcut is taken already");
    QVERIFY2(m_keys.error().isEmpty(), qPrintable(m_keys.error()));

    // As GNOME Settings writes a custom shortcut: a relocatable entry, then the list of them.
    const QString marker = m_folder.filePath(QStringLiteral("gnome-keybinding"));
    const QString path =
        QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/");
    const QString schema =
        QStringLiteral("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding:") + path;
    QString error;
    QVERIFY2(gsettings({QStringLiteral("set"), schema, QStringLiteral("name"),
                        QStringLiteral("Quiver probe")},
                       &error),
             qPrintable(error));
    QVERIFY2(
        gsettings(
            {QStringLiteral("set"), schema, QStringLiteral("command"),
             QStringLiteral("'%1 --record %2'").arg(QStringLiteral(QUIVER_DESKTOP_PROBE), marker)},
            &error),
        qPrintable(error));
    QVERIFY2(gsettings({QStringLiteral("set"), schema, QStringLiteral("binding"),
                        QStringLiteral("<Primary><Alt><Shift>F11")},
                       &error),
             qPrintable(error));
    QVERIFY2(gsettings({QStringLiteral("set"),
                        QStringLiteral("org.gnome.settings-daemon.plugins.media-keys"),
                        QStringLiteral("custom-keybindings"), QStringLiteral("['%1']").arg(path)},
                       &error),
             qPrintable(error));
    // gsd-media-keys asks the shell for the grab once it sees the change.
    QElapsedTimer grab;
    grab.start();
    QTRY_VERIFY_WITH_TIMEOUT(m_keys.shellBinds(shortcut), 10000);
    qInfo("gnome: the shell grabbed the keybinding %s after the setting",
          qPrintable(millis(grab.elapsed())));
    pressShortcutRounds(marker);
}

void TestDesktopSession::kdeGlobalShortcutRuns()
{
    if (m_keys.desktop() != QLatin1String("kwin"))
        QSKIP("KDE's global shortcuts");
    qDBusRegisterMetaType<QList<int>>();

    // A command's shortcut, as System Settings makes one: its desktop entry is the component,
    // "_launch" the action.
    const QString marker = m_folder.filePath(QStringLiteral("kde-shortcut"));
    const QString applications =
        QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    QVERIFY(QDir().mkpath(applications));
    QFile entry(applications + QStringLiteral("/quiver-probe.desktop"));
    QVERIFY(entry.open(QIODevice::WriteOnly));
    entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Quiver probe\n"
                               "Exec=%1 --record %2\n")
                    .arg(QStringLiteral(QUIVER_DESKTOP_PROBE), marker)
                    .toUtf8());
    entry.close();

    QDBusInterface accel(QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
                         QStringLiteral("org.kde.KGlobalAccel"));
    const QStringList action = {QStringLiteral("quiver-probe.desktop"), QStringLiteral("_launch"),
                                QStringLiteral("Quiver probe"), QStringLiteral("Quiver probe")};
    const QDBusMessage registered = accel.call(QStringLiteral("doRegister"), action);
    QVERIFY2(registered.type() != QDBusMessage::ErrorMessage,
             qPrintable(registered.errorMessage()));
    // SetPresent | NoAutoloading: active now, and not replaced by a stored one.
    const uint flags = 0x2 | 0x4;
    const QDBusReply<QList<int>> set = accel.call(QStringLiteral("setShortcut"), action,
                                                  QVariant::fromValue(QList<int>{shortcut}), flags);
    QVERIFY2(set.isValid(), qPrintable(set.error().message()));
    QCOMPARE(set.value(), QList<int>{shortcut});
    pressShortcutRounds(marker);
}

void TestDesktopSession::pressShortcutRounds(const QString &marker)
{
    QElapsedTimer all;
    all.start();
    qint64 slowest = 0;
    for (int round = 1; round <= rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        QVERIFY2(m_keys.press(QKeySequence(shortcut)), qPrintable(m_keys.error()));
        QTRY_COMPARE_WITH_TIMEOUT(lines(marker).size(), round, 10000);
        slowest = std::max(slowest, timer.elapsed());
        qInfo("press %d: the command ran after %s", round, qPrintable(millis(timer.elapsed())));
    }
    qInfo("%s: %d presses in %s, the slowest %s", qPrintable(m_keys.desktop()), rounds,
          qPrintable(millis(all.elapsed())), qPrintable(millis(slowest)));

    // What the program under test gets to claim the focus with.
    const QStringList started = lines(marker);
    const auto count = [&](int field) {
        return int(std::count_if(started.cbegin(), started.cend(), [&](const QString &line) {
            return !line.section(QLatin1Char(' '), field, field)
                        .section(QLatin1Char('='), 1)
                        .isEmpty();
        }));
    };
    qInfo("%s: of %d commands, %d had XDG_ACTIVATION_TOKEN and %d DESKTOP_STARTUP_ID (%s)",
          qPrintable(m_keys.desktop()), int(started.size()), count(1), count(2),
          qPrintable(started.value(0)));
}

QTEST_GUILESS_MAIN(TestDesktopSession)
#include "tst_desktopsession.moc"
