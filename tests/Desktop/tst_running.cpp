#include "Desktop/DesktopShell.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Catalogue/GroupsListView.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ItemsListView.h"
#include "Core/SettingsControl.h"
#include "CatalogueSupport.h"
#include "DesktopSandbox.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QFile>
#include <QScopeGuard>

#include <memory>

namespace {
void write(const QString &path, const QByteArray &bytes, bool executable)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    if (executable)
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
}

void link(const QString &target, const QString &link)
{
    QDir().mkpath(QFileInfo(link).path());
    QVERIFY(QFile::link(target, link));
}

QStringList lines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringList();
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Puts a folder first on PATH for the life of the guard.
auto prependPath(const QString &folder)
{
    const QByteArray previous = qgetenv("PATH");
    qputenv("PATH", folder.toLocal8Bit() + ':' + previous);
    return qScopeGuard([previous] { qputenv("PATH", previous); });
}
} // namespace

// Items started for real on a Linux desktop: programs and scripts that leave marker files,
// symbolic links, documents, folders and addresses opened through GIO by handler applications
// of a sandboxed desktop, and starts that fail.
class TestRunning : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldTellProgramsFromDocuments_data();
    void shouldTellProgramsFromDocuments();
    void shouldStartProgramsAndLinksToThem_data();
    void shouldStartProgramsAndLinksToThem();
    void shouldStartCopiedElfProgramAndLinkToIt();
    void shouldLeaveNothingOfAnEndedProgram();
    void shouldOpenThroughTheDesktop_data();
    void shouldOpenThroughTheDesktop();
    void shouldOpenWithTerminalHandlersOnlyInATerminal();
    void shouldNeverRunWebAddressAsCommand();
    void shouldRunBareCommandThroughShell();
    void shouldRefuseStartsThatFail_data();
    void shouldRefuseStartsThatFail();
    void shouldRefuseBrokenItemsAndCountTheRest();
    void shouldOpenFolderAndCopyPath();
    void shouldRunWholeGroupInIdOrderAndClearIt();
    void shouldRunFilesOnlyAsAdministratorOnTheDisplay();
    void shouldRefuseAdministratorRunWithoutPkexec();

private:
    void open();
    // Stores one item in group 10 and runs it from the items list.
    void run(int type,
             const QString &path,
             const QString &arguments = QString(),
             const QString &workingDirectory = QString());
    QString runCount() const { return Catalogue::value("SELECT RunCount FROM Items WHERE ID = 1"); }
    QString root(const QString &relative) const { return m_dir->path(relative); }
    ItemsListView *items() const { return m_window->findChild<ItemsListView *>("listView_items"); }
    QAbstractItemModel *itemsModel() const { return items()->model(); }
    void selectItems(const QList<int> &rows);

    std::unique_ptr<DesktopSandbox> m_desktop;
    std::unique_ptr<CatalogueWorkDir> m_dir;
    std::unique_ptr<Program> m_program;
    FormMain *m_window = nullptr;
};

void TestRunning::initTestCase()
{
    m_desktop = std::make_unique<DesktopSandbox>();
    m_desktop->addHandler("text", {"text/plain"});
    m_desktop->addHandler("folder", {"inode/directory"});
    m_desktop->addHandler("web", {"x-scheme-handler/http", "x-scheme-handler/https"});
    m_desktop->addHandler("mail", {"x-scheme-handler/mailto"});
    m_desktop->addHandler("console", {"text/x-log"}, "Terminal=true\n");
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());

    // Records where it ran, the name it was started by and its arguments.
    write(root("progs/tool.sh"),
          QStringLiteral("#!/bin/sh\n{ pwd; echo \"$0\"; for a in \"$@\"; do echo \"[$a]\"; done; "
                         "} > %1\n")
              .arg(root("tool.out"))
              .toUtf8(),
          true);
    write(root("docs/readme.txt"), "read me\n", false);
    QDir().mkpath(root("work"));
}

void TestRunning::init()
{
    Catalogue::reset("(1, 'T1', 0)", "(10, 'G10', 1, 0)");
    SettingsControl::instance().setThenHide(false);
    m_desktop->clear();
    QFile::remove(root("tool.out"));
}

void TestRunning::cleanup()
{
    m_program.reset();
    Notices::clear();
}

void TestRunning::open()
{
    m_program = std::make_unique<Program>();
    m_window = &m_program->window();
    m_window->show();
}

void TestRunning::run(int type,
                      const QString &path,
                      const QString &arguments,
                      const QString &workingDirectory)
{
    QSqlQuery insert(Catalogue::connection());
    insert.prepare("INSERT INTO Items(ID, Name, Type, Path, Arguments, WorkingDirectory, "
                   "GroupsID, TypesID) VALUES (1, 'item', ?, ?, ?, ?, 10, 1)");
    insert.addBindValue(type);
    insert.addBindValue(path);
    insert.addBindValue(arguments);
    insert.addBindValue(workingDirectory);
    QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
    open();
    m_window->data_itemRun(itemsModel()->index(0, 0));
}

void TestRunning::selectItems(const QList<int> &rows)
{
    items()->clearSelection();
    for (int row : rows)
        items()->selectionModel()->select(itemsModel()->index(row, 0), QItemSelectionModel::Select);
}

void TestRunning::shouldTellProgramsFromDocuments_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<bool>("program");
    QFile elf(QStringLiteral("/usr/bin/touch"));
    QVERIFY(elf.open(QIODevice::ReadOnly));
    const QByteArray binary = elf.readAll();
    QTest::newRow("ELF program") << binary << true << true;
    QTest::newRow("ELF without the executable bit") << binary << false << false;
    QTest::newRow("shell script") << QByteArray("#!/bin/sh\ntrue\n") << true << true;
    QTest::newRow("script of an interpreter MIME does not know")
        << QByteArray("#!/usr/bin/env node\n") << true << true;
    QTest::newRow("script without the executable bit")
        << QByteArray("#!/bin/sh\ntrue\n") << false << false;
    // Every file on a FAT, exFAT or NTFS drive carries the executable bit.
    QTest::newRow("text with the executable bit") << QByteArray("notes\n") << true << false;
    QTest::newRow("Windows program") << QByteArray("MZ\x90\0\3\0\0\0", 8) << true << false;
    QTest::newRow("empty file") << QByteArray() << true << false;
}

void TestRunning::shouldTellProgramsFromDocuments()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, executable);
    QFETCH(bool, program);
    const QString file = root("kinds/file");
    QFile::remove(file);
    write(file, content, executable);
    QCOMPARE(DesktopShell::isProgram(file), program);
    QFile::remove(root("kinds/link"));
    link(file, root("kinds/link"));
    QCOMPARE(DesktopShell::isProgram(root("kinds/link")), program);
    QVERIFY(!DesktopShell::isProgram(root("kinds")));
}

void TestRunning::shouldStartProgramsAndLinksToThem_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("workingDirectory");
    QTest::addColumn<QStringList>("recorded");
    // Paths are below the test root; "../x" is stored relative, as "优先使用相对路径" stores it.
    QTest::newRow("script in its own folder")
        << "/progs/tool.sh"
        << "a  'b c'"
        << "" << QStringList{"/progs", "/progs/tool.sh", "[a]", "[b c]"};
    QTest::newRow("script in its stored folder")
        << "/progs/tool.sh"
        << ""
        << "/work" << QStringList{"/work", "/progs/tool.sh"};
    QTest::newRow("link in the link's folder") << "/links/tool"
                                               << "x"
                                               << "" << QStringList{"/links", "/links/tool", "[x]"};
    QTest::newRow("link in its stored folder") << "/links/tool"
                                               << ""
                                               << "/work" << QStringList{"/work", "/links/tool"};
    QTest::newRow("relative path") << "../progs/tool.sh"
                                   << ""
                                   << "" << QStringList{"/progs", "/progs/tool.sh"};
    QTest::newRow("relative working folder") << "../progs/tool.sh"
                                             << ""
                                             << "../work" << QStringList{"/work", "/progs/tool.sh"};
}

void TestRunning::shouldStartProgramsAndLinksToThem()
{
    QFETCH(QString, path);
    QFETCH(QString, arguments);
    QFETCH(QString, workingDirectory);
    QFETCH(QStringList, recorded);
    if (!QFileInfo::exists(root("links/tool")))
        link(root("progs/tool.sh"), root("links/tool"));
    const auto below = [this](const QString &stored) {
        return stored.startsWith('/') ? root(stored.mid(1)) : stored;
    };
    run(0, below(path), arguments, below(workingDirectory));
    QTRY_VERIFY(QFileInfo(root("tool.out")).size() > 0);
    QStringList expected;
    for (const QString &line : recorded)
        expected << (line.startsWith('/') ? root(line.mid(1)) : line);
    // The shell names a relative script as it was given: the program is made absolute.
    QCOMPARE(lines(root("tool.out")), expected);
    QTRY_COMPARE(runCount(), QStringLiteral("1"));
}

// A program runs in a session of its own, and once it ends nothing of it stays with the
// launcher (no zombie waiting to be collected).
void TestRunning::shouldLeaveNothingOfAnEndedProgram()
{
    const QString out = root("session.out");
    write(root("progs/session.sh"),
          QStringLiteral("#!/bin/sh\necho \"$$ $(cut -d' ' -f6 /proc/$$/stat)\" > '%1'\n")
              .arg(out)
              .toUtf8(),
          true);
    QFuture<StartOutcome> started =
        DesktopShell::startProgram(root("progs/session.sh"), {}, QString());
    started.waitForFinished();
    QVERIFY(started.result());
    QTRY_VERIFY(!lines(out).isEmpty());
    const QStringList ids = lines(out).constFirst().split(' ');
    QCOMPARE(ids.size(), 2);
    QCOMPARE(ids.at(1), ids.at(0));
    QTRY_VERIFY(!QFileInfo::exists("/proc/" + ids.at(0)));
}

void TestRunning::shouldStartCopiedElfProgramAndLinkToIt()
{
    QVERIFY(QFile::copy("/usr/bin/touch", root("progs/elf-touch")));
    link(root("progs/elf-touch"), root("links/elf"));
    Catalogue::exec(QStringLiteral("INSERT INTO Items(ID, Name, Type, Path, Arguments, GroupsID, "
                                   "TypesID) VALUES (1, 'elf', 0, '%1', '%2', 10, 1), "
                                   "(2, 'link', 0, '%3', '%4', 10, 1)")
                        .arg(root("progs/elf-touch"), root("elf.marker"), root("links/elf"),
                             root("link.marker")));
    open();
    m_window->data_itemRun(itemsModel()->index(0, 0));
    m_window->data_itemRun(itemsModel()->index(1, 0));
    QTRY_VERIFY(QFile::exists(root("elf.marker")));
    QTRY_VERIFY(QFile::exists(root("link.marker")));
    QTRY_COMPARE(Catalogue::value("SELECT SUM(RunCount) FROM Items"), QStringLiteral("2"));
}

void TestRunning::shouldOpenThroughTheDesktop_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("opened");
    write(root("docs/fat.txt"), "on a FAT drive\n", true);
    if (!QFileInfo::exists(root("links/readme")))
        link(root("docs/readme.txt"), root("links/readme"));
    QTest::newRow("document with the executable bit")
        << 0 << root("docs/fat.txt") << "text" << root("docs/fat.txt");
    QTest::newRow("link to a document")
        << 0 << root("links/readme") << "text" << root("links/readme");
    QTest::newRow("relative document") << 0 << "../docs/readme.txt"
                                       << "text" << root("docs/readme.txt");
    QTest::newRow("folder") << 1 << root("docs") << "folder" << root("docs");
    QTest::newRow("relative folder") << 1 << "../docs"
                                     << "folder" << root("docs");
    // A file manager's link to a place on this machine, picked as a file item.
    write(root("docs/place.desktop"),
          QStringLiteral("[Desktop Entry]\nType=Link\nName=Docs\nURL=file://%1\n")
              .arg(root("docs"))
              .toUtf8(),
          false);
    QTest::newRow("link entry to a folder")
        << 0 << root("docs/place.desktop") << "folder" << root("docs");
    QTest::newRow("bare host") << 2 << "www.example.com"
                               << "web"
                               << "http://www.example.com";
    QTest::newRow("address without scheme") << 2 << "192.168.1.1/admin"
                                            << "web"
                                            << "http://192.168.1.1/admin";
    QTest::newRow("address") << 2 << "https://example.org/a?b=1"
                             << "web"
                             << "https://example.org/a?b=1";
    QTest::newRow("command with a scheme") << 3 << "mailto:me@example.org"
                                           << "mail"
                                           << "mailto:me@example.org";
}

void TestRunning::shouldOpenThroughTheDesktop()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    QFETCH(int, type);
    QFETCH(QString, path);
    QFETCH(QString, handler);
    QFETCH(QString, opened);
    run(type, path, "ignored", "/ignored");
    QTRY_COMPARE(m_desktop->opened(handler), QStringList{opened});
    // Not in the launcher's session: the Ctrl+C or hang-up of its terminal does not end it.
    QTRY_VERIFY(m_desktop->startedApart(handler));
    QTRY_COMPARE(runCount(), QStringLiteral("1"));
    QVERIFY(Notices::shown().isEmpty());
    // The stored text stays as it was.
    QCOMPARE(Catalogue::value("SELECT Path FROM Items"), path);
}

void TestRunning::shouldOpenWithTerminalHandlersOnlyInATerminal()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    write(root("docs/events.log"), "x\n", false);
    write(root("terminal/x-terminal-emulator"),
          QStringLiteral("#!/bin/sh\necho \"$@\" > %1\nshift\nexec \"$@\"\n")
              .arg(root("terminal.out"))
              .toUtf8(),
          true);
    QDir().mkpath(root("no-terminal"));
    EnvironmentGuard environment;
    environment.set("PATH", root("no-terminal").toLocal8Bit());
    run(0, root("docs/events.log"));
    QTRY_COMPARE(Notices::shown(),
                 QStringList{"打开失败, 无法启动: console 需要在终端中运行, 但没有找到终端"});
    QCOMPARE(runCount(), QStringLiteral("0"));

    // Debian's choice of terminal, which GIO does not know of, as for entries.
    Notices::clear();
    environment.set("PATH", root("terminal").toLocal8Bit() + ":/usr/bin:/bin");
    m_window->data_itemRun(itemsModel()->index(0, 0));
    QTRY_COMPARE(m_desktop->opened("console"), QStringList{root("docs/events.log")});
    QCOMPARE(lines(root("terminal.out")),
             QStringList{"-e " + m_desktop->path("handlers/console.sh") + " " +
                         root("docs/events.log")});
    QTRY_COMPARE(runCount(), QStringLiteral("1"));
}

void TestRunning::shouldNeverRunWebAddressAsCommand()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    // A shared item of type "2" holding a program name: the program must never run.
    const QString marker = root("web-check.ran");
    write(root("path/quiver-web-check.invalid"),
          QStringLiteral("#!/bin/sh\ntouch %1\n").arg(marker).toUtf8(), true);
    const auto restore = prependPath(root("path"));
    run(2, "quiver-web-check.invalid");
    QTRY_COMPARE(m_desktop->opened("web"), QStringList{"http://quiver-web-check.invalid"});
    QVERIFY(!QFile::exists(marker));
}

void TestRunning::shouldRunBareCommandThroughShell()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    const QString marker = root("shell.out");
    run(3, QStringLiteral("echo ran > %1; pwd >> %1").arg(marker));
    QTRY_COMPARE(lines(marker), (QStringList{"ran", QDir::homePath()}));
    QTRY_COMPARE(runCount(), QStringLiteral("1"));
}

void TestRunning::shouldRefuseStartsThatFail_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("workingDirectory");
    write(root("bad/truncated"),
          QByteArray("\x7f"
                     "ELF\2\1\1",
                     7),
          true);
    write(root("bad/interpreter"), "#!/no/such/interpreter\n", true);
    write(root("bad/data.bin"), QByteArray("\0\1\2\3\xff", 5), false);
    const QString none;
    QTest::newRow("program the kernel refuses") << 0 << root("bad/truncated") << none;
    QTest::newRow("script without its interpreter") << 0 << root("bad/interpreter") << none;
    // Qt would start it in the launcher's own folder instead.
    QTest::newRow("working folder that is gone")
        << 0 << root("progs/tool.sh") << root("gone/folder");
    QTest::newRow("document no application opens") << 0 << root("bad/data.bin") << none;
    QTest::newRow("address no application handles") << 2 << "gopher://example.org" << none;
    // A shared "web address" must not open a local file through its association.
    QTest::newRow("local file as address") << 2 << "file://" + root("docs/readme.txt") << none;
    QTest::newRow("path as address") << 2 << root("docs/readme.txt") << none;
    QTest::newRow("command of an unhandled scheme") << 3 << "steam://run/10" << none;
}

void TestRunning::shouldRefuseStartsThatFail()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    QFETCH(int, type);
    QFETCH(QString, path);
    QFETCH(QString, workingDirectory);
    SettingsControl::instance().setThenHide(true);
    run(type, path, QString(), workingDirectory);
    QTRY_COMPARE(Notices::shown(), QStringList{"打开失败, 无法启动"});
    QCOMPARE(runCount(), QStringLiteral("0"));
    QVERIFY(m_window->isVisible() && !m_window->isMinimized());
    QVERIFY(m_desktop->opened("text").isEmpty());
    QVERIFY(!QFile::exists(root("tool.out")));
}

void TestRunning::shouldRefuseBrokenItemsAndCountTheRest()
{
    Catalogue::exec(
        QStringLiteral("INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID) VALUES "
                       "(1, 'ok', '%1', 0, 10, 1), (2, 'folder as file', '%2', 0, 10, 1), "
                       "(3, 'odd type', '/x', 9, 10, 1), (4, 'gone', '/no/such', 0, 10, 1), "
                       "(5, 'missing', '/no/such', 0, 10, 1), (6, 'no folder', '/no/dir', 1, 10, "
                       "1), (7, 'link to folder', '%3', 0, 10, 1)")
            .arg(root("progs/tool.sh"), root("bin"), root("links/folder")));
    link(root("docs"), root("links/folder"));
    open();
    const QModelIndex gone = itemsModel()->index(3, 0);
    Catalogue::exec("DELETE FROM Items WHERE ID = 4");
    m_window->data_itemRun(gone);
    QCOMPARE(Notices::shown(), QStringList{"打开失败, 数据有误"});

    const QList<QPair<int, QString>> refusals{{1, "打开失败, 不是文件类型"},
                                              {4, "打开失败, 文件不存在"},
                                              {5, "打开失败, 文件夹不存在"},
                                              {6, "打开失败, 不是文件类型"}};
    for (const auto &[row, refusal] : refusals) {
        Notices::clear();
        m_window->data_itemRun(itemsModel()->index(row, 0));
        QCOMPARE(Notices::shown(), QStringList{refusal});
    }
    QCOMPARE(Catalogue::value("SELECT SUM(RunCount) FROM Items"), QStringLiteral("0"));
    Notices::clear();

    // A type this program does not know starts nothing, yet the run counts.
    m_window->data_itemRun(itemsModel()->index(2, 0));
    QVERIFY(Notices::shown().isEmpty());
    QCOMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 3"), QStringLiteral("1"));

    // Three selected, one broken: two runs counted, one notice.
    selectItems({0, 1, 2});
    items()->actionRunSelected()->trigger();
    QCOMPARE(Notices::shown(), QStringList{"打开失败, 不是文件类型"});
    QTRY_COMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 1"), QStringLiteral("1"));
    QCOMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 3"), QStringLiteral("2"));

    SettingsControl::instance().setThenHide(true);
    m_window->data_itemRun(itemsModel()->index(2, 0));
    QTRY_VERIFY(m_window->isHidden() || m_window->isMinimized());
}

void TestRunning::shouldOpenFolderAndCopyPath()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    Catalogue::exec(QStringLiteral(
        "INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID) VALUES "
        "(1, 'file', '../data/data.db', 0, 10, 1), (2, 'web', 'https://x', 2, 10, 1), "
        "(3, 'nowhere', '/no/such/dir/f', 0, 10, 1)"));
    open();
    items()->setCurrentIndex(itemsModel()->index(0, 0));
    items()->actionOpenFolder()->trigger();
    // The relative path is taken against the working folder: no opener resolves "file:../x".
    // GIO hands local files to applications as paths.
    QTRY_COMPARE(m_desktop->opened("folder"), QStringList{root("data")});
    items()->actionCopyPath()->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("../data/data.db"));
    QVERIFY(Notices::shown().contains("已复制"));
    Notices::clear();

    items()->setCurrentIndex(itemsModel()->index(1, 0));
    items()->actionOpenFolder()->trigger();
    QCOMPARE(Notices::shown(), QStringList{"非文件，不操作"});
    Notices::clear();
    items()->setCurrentIndex(itemsModel()->index(2, 0));
    items()->actionOpenFolder()->trigger();
    QCOMPARE(Notices::shown(), QStringList{"所在文件夹不存在"});
    QCOMPARE(Catalogue::value("SELECT SUM(RunCount) FROM Items"), QStringLiteral("0"));
}

void TestRunning::shouldRunWholeGroupInIdOrderAndClearIt()
{
    Catalogue::exec(
        "INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID, Row) VALUES "
        "(1, 'a', 'x1', 9, 10, 1, 2), (2, 'b', 'x2', 9, 10, 1, 1), (3, 'c', 'x3', 9, 10, 1, 0)");
    open();
    QCOMPARE(rowTexts(itemsModel()), (QStringList{"c", "b", "a"}));
    LogCapture &log = LogCapture::install();
    m_window->findChild<GroupsListView *>()->actionRunAll()->trigger();
    QCOMPARE(log.lines().filter("Item_Run:"),
             (QStringList{"Item_Run: Path[x1], Type[9], Arguments[无], WorkingDirectory[无]",
                          "Item_Run: Path[x2], Type[9], Arguments[无], WorkingDirectory[无]",
                          "Item_Run: Path[x3], Type[9], Arguments[无], WorkingDirectory[无]"}));
    QCOMPARE(Catalogue::value("SELECT SUM(RunCount) FROM Items"), QStringLiteral("3"));

    answerNextDialog();
    m_window->findChild<GroupsListView *>()->actionClear()->trigger();
    QCOMPARE(itemsModel()->rowCount(), 0);
    QCOMPARE(Catalogue::value("SELECT COUNT(*) FROM Items"), QStringLiteral("0"));
    QCOMPARE(m_window->findChild<GroupsListView *>()->currentIndex().data().toString(),
             QStringLiteral("G10"));
}

void TestRunning::shouldRunFilesOnlyAsAdministratorOnTheDisplay()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    // pkexec is replaced by a script that records what it was asked to start, then starts it;
    // as pkexec does, it refuses a caller whose parent is gone, and QUIVER_REFUSE makes it end
    // as a cancelled password dialog does.
    const QString record = root("pkexec.out");
    write(root("fake/pkexec"),
          QStringLiteral("#!/bin/sh\n[ \"$PPID\" = 1 ] && exit 127\n[ -n \"$QUIVER_REFUSE\" ] && "
                         "exit 126\nprintf '%s\\n' \"$@\" > %1\nexec \"$@\"\n")
              .arg(record)
              .toUtf8(),
          true);
    // A folder named like a variable assignment: env must not take the program for one.
    const QString tool = root("a=b/tool");
    write(tool,
          QStringLiteral(
              "#!/bin/sh\n{ echo \"$DISPLAY\"; pwd; for a in \"$@\"; do echo \"[$a]\"; done; } > "
              "%1\n")
              .arg(root("admin.out"))
              .toUtf8(),
          true);
    EnvironmentGuard environment;
    environment.set("PATH", root("fake").toLocal8Bit() + ':' + qgetenv("PATH"));
    environment.set("DISPLAY", ":7");
    environment.set("XAUTHORITY", "/run/user/4242/xauth");
    environment.set("WAYLAND_DISPLAY", "wayland-3");
    environment.set("XDG_RUNTIME_DIR", "/run/user/4242");

    Catalogue::exec(
        QStringLiteral(
            "INSERT INTO Items(ID, Name, Path, Type, Arguments, GroupsID, "
            "TypesID, WorkingDirectory) VALUES (1, 'tool', '%1', 0, 'rm  -rf ''a b''', 10, 1, "
            "'%3'), "
            "(2, 'site', 'https://x', 2, '', 10, 1, ''), "
            "(3, 'notes', '%2', 0, '', 10, 1, '')")
            .arg(tool, root("docs/readme.txt"), root("work")));
    open();
    LogCapture &log = LogCapture::install();
    items()->setCurrentIndex(itemsModel()->index(1, 0));
    items()->actionRunAsAdmin()->trigger();
    QCOMPARE(Notices::shown(), QStringList{"管理员权限仅支持文件"});
    QCOMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 2"), QStringLiteral("0"));
    Notices::clear();

    // A document cannot be started with any rights: refused before a password is asked.
    items()->setCurrentIndex(itemsModel()->index(2, 0));
    items()->actionRunAsAdmin()->trigger();
    QTRY_COMPARE(Notices::shown(), QStringList{"打开失败, 无法启动"});
    QVERIFY(!QFile::exists(record));

    // The password dialog cancelled: nothing started, nothing counted.
    items()->setCurrentIndex(itemsModel()->index(0, 0));
    environment.set("QUIVER_REFUSE", "1");
    Notices::clear();
    items()->actionRunAsAdmin()->trigger();
    // Named before the password is asked, as the password dialog names only a shell.
    const auto sorted = [](QStringList texts) {
        texts.sort();
        return texts;
    };
    QTRY_COMPARE(sorted(Notices::shown()),
                 sorted({"以管理员身份运行: " + tool, "打开失败, 无法启动"}));
    QCOMPARE(runCount(), QStringLiteral("0"));
    environment.set("QUIVER_REFUSE", QByteArray());

    items()->actionRunAsAdmin()->trigger();
    QTRY_VERIFY(QFileInfo(root("admin.out")).size() > 0);
    // pkexec clears the environment and starts in root's folder: env hands the display on,
    // and a shell enters the item's folder and names the program.
    QCOMPARE(lines(record),
             (QStringList{"/usr/bin/env", "DISPLAY=:7", "XAUTHORITY=/run/user/4242/xauth",
                          "WAYLAND_DISPLAY=/run/user/4242/wayland-3", "/bin/sh", "-c",
                          "cd -- \"$0\" || exit 1; (echo authorised) 2>/dev/null; exec \"$@\" >&2",
                          root("work"), tool, "rm", "-rf", "a b"}));
    QCOMPARE(lines(root("admin.out")), (QStringList{":7", root("work"), "[rm]", "[-rf]", "[a b]"}));
    QVERIFY(log.lines().contains(
        QStringLiteral("Item_RunAsAdmin: Path[%1], Parameters[rm  -rf 'a b'], WorkingDirectory[%2]")
            .arg(tool, root("work"))));
    QTRY_COMPARE(runCount(), QStringLiteral("1"));
}

void TestRunning::shouldRefuseAdministratorRunWithoutPkexec()
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", root("empty").toLocal8Bit());
    const auto restore = qScopeGuard([path] { qputenv("PATH", path); });
    SettingsControl::instance().setThenHide(true);
    Catalogue::exec(QStringLiteral("INSERT INTO Items(ID, Name, Path, Type, GroupsID, TypesID) "
                                   "VALUES (1, 'tool', '%1', 0, 10, 1)")
                        .arg(root("progs/tool.sh")));
    open();
    items()->setCurrentIndex(itemsModel()->index(0, 0));
    items()->actionRunAsAdmin()->trigger();
    QTRY_COMPARE(Notices::shown(), QStringList{"打开失败, 无法启动"});
    QCOMPARE(runCount(), QStringLiteral("0"));
    QVERIFY(m_window->isVisible() && !m_window->isMinimized());
}

QUIVER_TEST_MAIN(TestRunning)
#include "tst_running.moc"
