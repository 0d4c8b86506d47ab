// Commands typed after ">" run for real in a marker terminal on PATH (Debian's
// x-terminal-emulator, or the terminal GIO looks for without it), which writes down its
// arguments and runs what follows "-e" as a terminal would; the kept commands live in a real
// settings file.
#include "Core/SettingsControl.h"
#include "Actions/TerminalCommands.h"
#include "TestSupport.h"

class TestTerminalCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void shouldRunInTheUsersShellInTheHomeFolder_data();
    void shouldRunInTheUsersShellInTheHomeFolder();
    void shouldSayWhyTheTerminalFailed_data();
    void shouldSayWhyTheTerminalFailed();
    void shouldKeepTheLatestCommands();
    void shouldOfferCommandsTypedAndKept_data();
    void shouldOfferCommandsTypedAndKept();
    void shouldIgnoreABrokenStoredHistory();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString settingsFile() const { return path(QStringLiteral("config.ini")); }
    QStringList lines(const QString &name) const;
    void writeTerminal(const QString &name);
    void runAndWait(TerminalCommands &commands, const QString &typed);

    QTemporaryDir m_dir;
    EnvironmentGuard m_environment;
};

void TestTerminalCommands::initTestCase()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("home"));
    QDir(m_dir.path()).mkpath(QStringLiteral("debian"));
    QDir(m_dir.path()).mkpath(QStringLiteral("other"));
    writeTerminal(QStringLiteral("debian/x-terminal-emulator"));
    writeTerminal(QStringLiteral("other/xterm"));
    // Terminals that cannot open a window: they end at once.
    for (const char *failing : {"failing/x-terminal-emulator", "failing-other/xterm"}) {
        QDir(m_dir.path()).mkpath(QFileInfo(path(failing)).path());
        QFile::copy(QStringLiteral("/bin/false"), path(failing));
    }
    m_environment.set("HOME", path(QStringLiteral("home")).toLocal8Bit());
    m_environment.set("SHELL", "/bin/sh");
}

void TestTerminalCommands::init()
{
    m_environment.set("PATH", path(QStringLiteral("debian")).toLocal8Bit() + ":/usr/bin:/bin");
    QFile::remove(settingsFile());
    QFile::remove(path(QStringLiteral("terminal.out")));
    QFile::remove(path(QStringLiteral("ran.out")));
}

// A terminal by x-terminal-emulator's conventions: it runs what follows "-e", here without
// input, so the shell left open for the user ends at once. It notes its process, process group
// and session.
void TestTerminalCommands::writeTerminal(const QString &name)
{
    QFile script(path(name));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"${0##*/}\" \"$@\" > %1\n"
                                "read -r id n s p group session rest < /proc/$$/stat\n"
                                "echo \"$id $group $session\" > %2\n"
                                "[ \"$1\" = -e ] && shift\nexec \"$@\" < /dev/null\n")
                     .arg(path(QStringLiteral("terminal.out")), path(QStringLiteral("session.out")))
                     .toUtf8());
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QStringList TestTerminalCommands::lines(const QString &name) const
{
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestTerminalCommands::runAndWait(TerminalCommands &commands, const QString &typed)
{
    const QVector<ActionRow> rows = commands.query(SearchQuery(typed), typed);
    QVERIFY(!rows.isEmpty());
    const ActionOutcome outcome = commands.run(rows.first(), {});
    QCOMPARE(outcome.status, ActionOutcome::Status::Pending);
    QTRY_VERIFY(outcome.pending->isFinished());
    QVERIFY(outcome.pending->result());
}

void TestTerminalCommands::shouldRunInTheUsersShellInTheHomeFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("terminal");

    QTest::newRow("x-terminal-emulator") << "debian"
                                         << "x-terminal-emulator";
    // Without Debian's choice, GIO's: only the marker is on PATH, as xterm.
    QTest::newRow("the desktop's terminal") << "other"
                                            << "xterm";
}

void TestTerminalCommands::shouldRunInTheUsersShellInTheHomeFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, terminal);
    m_environment.set("PATH", path(folder).toLocal8Bit());
    SettingsControl settings(settingsFile());
    TerminalCommands commands(settings);
    // The shell reads it: its quoting and variables are the user's to use.
    const QString command =
        QStringLiteral("pwd > '%1' && echo \"it's $HOME\" 50% >> '%1' # mysql -pS3cret")
            .arg(path("ran.out"));
    LogCapture &log = LogCapture::install();
    runAndWait(commands, QLatin1Char('>') + command);
    QTRY_COMPARE(lines(QStringLiteral("ran.out")),
                 (QStringList{path("home"), QStringLiteral("it's ") + path("home") + " 50%"}));
    QCOMPARE(lines(QStringLiteral("terminal.out")).mid(0, 5),
             (QStringList{terminal, "-e", "/bin/sh", "-c", command}));
    // What was typed may hold a password: kept for the user alone, never logged.
    QVERIFY2(log.lines().filter("S3cret").isEmpty(), qPrintable(log.lines().join('\n')));
    QCOMPARE(fileMode(settingsFile()), 0600);
    // Leading a session and a process group of its own: the Ctrl+C or the hang-up of the
    // terminal the launcher was started from does not end it.
    const QStringList ids = lines(QStringLiteral("session.out")).value(0).split(' ');
    QCOMPARE(ids, (QStringList{ids.at(0), ids.at(0), ids.at(0)}));
}

void TestTerminalCommands::shouldSayWhyTheTerminalFailed_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("reason");
    QTest::newRow("x-terminal-emulator ends at once")
        << "failing"
        << "终端 x-terminal-emulator 启动后立即退出 (退出码 1)";
    QTest::newRow("the desktop's terminal ends at once") << "failing-other"
                                                         << "终端启动后立即退出 (退出码 1)";
    QTest::newRow("no terminal") << "none"
                                 << "没有找到终端";
}

void TestTerminalCommands::shouldSayWhyTheTerminalFailed()
{
    QFETCH(QString, folder);
    QFETCH(QString, reason);
    m_environment.set("PATH", path(folder).toLocal8Bit());
    SettingsControl settings(settingsFile());
    TerminalCommands commands(settings);
    const ActionOutcome outcome =
        commands.run(commands.query(SearchQuery(">ls"), ">ls").first(), {});
    QCOMPARE(outcome.status, ActionOutcome::Status::Pending);
    QTRY_VERIFY(outcome.pending->isFinished());
    QVERIFY(!outcome.pending->result());
    QCOMPARE(outcome.pending->result().reason, reason);
    QCOMPARE(outcome.failure, QStringLiteral("打开失败, 无法启动"));
}

void TestTerminalCommands::shouldKeepTheLatestCommands()
{
    {
        SettingsControl settings(settingsFile());
        TerminalCommands commands(settings);
        for (int i = 0; i < 52; ++i)
            runAndWait(commands, QStringLiteral(">true %1").arg(i));
        // Run again, a command moves to the top and is kept once.
        runAndWait(commands, QStringLiteral(">true 10"));
    }
    SettingsControl settings(settingsFile());
    TerminalCommands commands(settings);
    QStringList expected{QStringLiteral("true 10")};
    for (int i = 51; i >= 2; --i)
        if (i != 10)
            expected << QStringLiteral("true %1").arg(i);
    expected = expected.mid(0, 50);
    QCOMPARE(commands.history(), expected);
    // The sign alone lists them all, newest first, each completing to itself.
    const QVector<ActionRow> rows = commands.query(SearchQuery(">"), QStringLiteral(">"));
    QCOMPARE(rows.size(), 50);
    QCOMPARE(rows.first().completion, QStringLiteral(">true 10"));
    QVERIFY(commands.clearHistory());
    QVERIFY(TerminalCommands(settings).history().isEmpty());
}

void TestTerminalCommands::shouldOfferCommandsTypedAndKept_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("titles");

    const QString run = QStringLiteral("在终端中运行: ");
    QTest::newRow("a command") << ">htop" << QStringList{run + "htop"};
    QTest::newRow("spaces around") << ">  ls -l  " << QStringList{run + "ls -l"};
    QTest::newRow("the sign later") << "a > b" << QStringList{};
    QTest::newRow("after the sign")
        << ">sys" << QStringList{run + "sys", run + "systemctl status", run + "sysbench"};
    QTest::newRow("without the sign") << "sysb" << QStringList{run + "sysbench"};
    QTest::newRow("by pinyin") << "bf" << QStringList{run + "echo 备份"};
    QTest::newRow("the very command") << ">sysbench" << QStringList{run + "sysbench"};
    QTest::newRow("nothing kept") << "qqq" << QStringList{};
}

void TestTerminalCommands::shouldOfferCommandsTypedAndKept()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, titles);
    {
        QSettings file(settingsFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("Search/CommandHistory"),
                      QStringList{"systemctl status", "echo 备份", "sysbench"});
    }
    SettingsControl settings(settingsFile());
    TerminalCommands commands(settings);
    QStringList found;
    for (const ActionRow &row : commands.query(SearchQuery(typed), typed))
        found << row.title;
    QCOMPARE(found, titles);
}

void TestTerminalCommands::shouldIgnoreABrokenStoredHistory()
{
    {
        QSettings file(settingsFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("Search/CommandHistory"), QVariantMap{{"a", 1}});
    }
    LogCapture &log = LogCapture::install();
    SettingsControl settings(settingsFile());
    TerminalCommands commands(settings);
    QVERIFY(commands.history().isEmpty());
    QCOMPARE(log.lines().size(), 1);
    runAndWait(commands, QStringLiteral(">true"));
    QCOMPARE(TerminalCommands(settings).history(), QStringList{"true"});
}

QUIVER_TEST_MAIN(TestTerminalCommands)

#include "tst_terminalcommands.moc"
