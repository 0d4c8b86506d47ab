#include "Catalogue/ApplicationImport.h"
#include "Core/DataControl.h"
#include "Desktop/DesktopEntry.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Icons/Form_IconSelector.h"
#include "Icons/IconLoader.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ItemsListView.h"
#include "Core/SettingsControl.h"
#include "Catalogue/TypesListView.h"
#include "CatalogueSupport.h"
#include "DesktopSandbox.h"
#include "TestSupport.h"

#include <QListView>
#include <QRegularExpression>
#include <QX11Info>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <cstdio>
#include <memory>

namespace {
bool isFilledWith(const QImage &image, Qt::GlobalColor color)
{
    return !image.isNull() && image.pixelColor(image.width() / 2, image.height() / 2) == color;
}

QString entry(const QString &body)
{
    return QStringLiteral("[Desktop Entry]\n") + body;
}
} // namespace

// Desktop entries as a Linux desktop holds them, in a sandbox of XDG folders: read, dropped,
// started through GIO for real (marker programs), given their icons, and imported.
class TestDesktopEntries : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldReadEntries_data();
    void shouldReadEntries();
    void shouldAddDroppedEntries();
    void shouldAddLinkedEntryAndEntryWithoutIcon();
    void shouldStartApplicationsAsTheDesktopDoes_data();
    void shouldStartApplicationsAsTheDesktopDoes();
    void shouldHandItemArgumentsToTheApplication_data();
    void shouldHandItemArgumentsToTheApplication();
    void shouldAskBeforeStartingUntrustedEntries_data();
    void shouldAskBeforeStartingUntrustedEntries();
    void shouldStartOnlyWhatWasShown_data();
    void shouldStartOnlyWhatWasShown();
    void shouldGiveStartedProgramsNothingOfOurs();
    void shouldRunNothingUnseen();
    void shouldRefuseEntriesThatCannotStart_data();
    void shouldRefuseEntriesThatCannotStart();
    void shouldShowApplicationIcons_data();
    void shouldShowApplicationIcons();
    void shouldExtractIconsOfEntriesAndPictures();
    void shouldOfferImportOnceOnFirstStart();
    void shouldImportShownApplicationsIntoCategoryGroups();
    void shouldImportOnlyWhatIsNew();

private:
    void open();
    // Writes an entry outside the applications folders, where only the test knows of it;
    // executable, as the user's own entries are, unless told otherwise.
    QString writeEntry(const QString &name, const QString &body, bool executable = true);
    QStringList recorded(const QString &name) const { return m_desktop->opened(name); }
    ItemsListView *items() const { return m_window->findChild<ItemsListView *>("listView_items"); }
    int cacheRows() const;

    std::unique_ptr<DesktopSandbox> m_desktop;
    std::unique_ptr<CatalogueWorkDir> m_dir;
    std::unique_ptr<Program> m_program;
    FormMain *m_window = nullptr;
    QString m_record;
};

void TestDesktopEntries::initTestCase()
{
    // GIO reads the folders and the desktop's name once: all is in place before it starts.
    m_desktop = std::make_unique<DesktopSandbox>();
    qputenv("XDG_CURRENT_DESKTOP", "QuiverTest");
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());

    // Records where it ran and its arguments in handlers/<first argument>.out, and its session
    // as the sandbox's handlers do.
    m_record = m_desktop->path("share/my apps/record.sh");
    m_desktop->write(
        "share/my apps/record.sh",
        QStringLiteral("#!/bin/sh\nout=%1/$1.out\nread -r id n s p group session rest "
                       "< /proc/$$/stat\necho \"$id $group $session\" > %1/$1.session\n"
                       "shift\n{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; } > \"$out\"\n")
            .arg(m_desktop->path("handlers"))
            .toUtf8());
    QFile::setPermissions(m_record, QFile::permissions(m_record) | QFile::ExeOwner);
    m_desktop->addThemeIcon("quiver-red", Qt::red, 48);
    m_desktop->addThemeIcon("quiver-red", Qt::red, 16);
    m_desktop->addThemeIcon("quiver-green", Qt::green, 48);
    QImage blue(32, 32, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    QDir().mkpath(m_desktop->path("share/pixmaps"));
    blue.save(m_desktop->path("share/pixmaps/quiver-old.png"));

    const auto app = [this](const QString &file, const QString &body) {
        m_desktop->write(
            file, entry(QStringLiteral("Type=Application\nExec=\"%1\" x\n").arg(m_record) + body)
                      .toUtf8());
    };
    // The user's own folder comes first; the system's after it.
    app("data/applications/term.desktop",
        "Name=Terminal\nName[zh_CN]=终端\nCategories=System;TerminalEmulator;\nIcon=quiver-red\n");
    app("data/applications/masked.desktop", "Name=Masked\nHidden=true\n");
    app("share/applications/masked.desktop", "Name=Masked\nCategories=Utility;\n");
    app("data/applications/dup.desktop", "Name=Home copy\nCategories=Office;\n");
    app("share/applications/dup.desktop", "Name=System copy\nCategories=Office;\n");
    app("data/applications/sub/tool.desktop", "Name=Tool\nCategories=Utility;\n");
    app("share/applications/player.desktop",
        "Name=Player\nCategories=AudioVideo;Player;\nIcon=quiver-red\n");
    app("share/applications/editor.desktop",
        "Name=Editor\nCategories=Development;IDE;\nIcon=quiver-green\n");
    app("share/applications/nodisplay.desktop", "Name=Hidden helper\nNoDisplay=true\n");
    app("share/applications/kdeonly.desktop", "Name=KDE only\nOnlyShowIn=KDE;\n");
    app("share/applications/notquiver.desktop", "Name=Not here\nNotShowIn=QuiverTest;\n");
    app("share/applications/onlyquiver.desktop",
        "Name=Only here\nOnlyShowIn=QuiverTest;\nCategories=Game;\n");
    app("share/applications/tryexec.desktop", "Name=Not installed\nTryExec=/no/such/program\n");
    app("share/applications/misc.desktop", "Name=Misc\n");
    m_desktop->write("share/applications/link.desktop",
                     entry("Type=Link\nName=Site\nURL=https://example.org\n").toUtf8());

    // A terminal of Debian's kind, first on PATH: it starts what follows -e.
    m_desktop->write(
        "bin/x-terminal-emulator",
        QStringLiteral("#!/bin/sh\necho \"$@\" > %1/terminal.out\nshift\nexec \"$@\"\n")
            .arg(m_desktop->path("handlers"))
            .toUtf8());
    QFile::setPermissions(m_desktop->path("bin/x-terminal-emulator"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", m_desktop->path("bin").toLocal8Bit() + ':' + qgetenv("PATH"));
    QDir().mkpath(m_desktop->path("work"));
    QDir().mkpath(m_desktop->path("other work"));
}

void TestDesktopEntries::init()
{
    Catalogue::reset("(1, 'T1', 0)", "(10, 'G10', 1, 0)");
    QSqlQuery(Catalogue::iconCache()).exec("DELETE FROM Caches");
    m_desktop->clear();
}

void TestDesktopEntries::cleanup()
{
    m_program.reset();
    Notices::clear();
}

void TestDesktopEntries::open()
{
    m_program = std::make_unique<Program>();
    m_window = &m_program->window();
    m_window->show();
}

QString TestDesktopEntries::writeEntry(const QString &name, const QString &body, bool executable)
{
    const QString relative = QStringLiteral("entries/%1.desktop").arg(name);
    m_desktop->write(relative, entry(body).toUtf8());
    const QString file = m_desktop->path(relative);
    QFile::setPermissions(file, executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                           : QFile::ReadOwner | QFile::WriteOwner);
    return file;
}

int TestDesktopEntries::cacheRows() const
{
    QSqlQuery query(Catalogue::iconCache());
    query.exec("SELECT COUNT(*) FROM Caches");
    return query.next() ? query.value(0).toInt() : -1;
}

void TestDesktopEntries::shouldReadEntries_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("note");
    const int invalid = int(DesktopEntry::Kind::Invalid);
    const int application = int(DesktopEntry::Kind::Application);
    const QByteArray head = "[Desktop Entry]\nType=Application\nExec=true\n";
    QTest::newRow("Chinese of China first")
        << head + "Name=Terminal\nName[zh]=终端机\nName[zh_CN]=终端\nComment=Use the command "
                  "line\nComment[zh_CN]=使用命令行\n"
        << application << "终端"
        << "使用命令行";
    QTest::newRow("Chinese") << head + "Name=Files\nName[zh]=文件\nName[de]=Dateien\n"
                             << application << "文件"
                             << "";
    QTest::newRow("untranslated, generic name as note")
        << head + "Name=Editor\nName[fr]=Éditeur\nGenericName=Text Editor\n"
        << application << "Editor"
        << "Text Editor";
    QTest::newRow("empty translations, as menu editors leave them")
        << head + "Name=English\nName[zh_CN]=\nComment=Plain\nComment[zh_CN]=\nGenericName=G\n"
        << application << "English"
        << "Plain";
    // An empty translation gives way to the next one for the language, not straight to the
    // untranslated value.
    QTest::newRow("empty zh_CN, zh given")
        << head + "Name=WeChat\nName[zh_CN]=\nName[zh]=微信\nComment=Chat\nComment[zh_CN]=\n"
                  "Comment[zh]=聊天\n"
        << application << "微信"
        << "聊天";
    QTest::newRow("D-Bus activatable without Exec")
        << QByteArray("[Desktop Entry]\nType=Application\nName=Service\nDBusActivatable=true\n")
        << application << "Service"
        << "";
    QTest::newRow("link") << QByteArray("[Desktop Entry]\nType=Link\nName=Site\nURL=https://a.b\n")
                          << int(DesktopEntry::Kind::Link) << "Site"
                          << "";
    QTest::newRow("no entry group")
        << QByteArray("[Something]\nType=Application\nExec=true\n") << invalid << ""
        << "";
    QTest::newRow("no Exec") << QByteArray("[Desktop Entry]\nType=Application\nName=X\n") << invalid
                             << ""
                             << "";
    QTest::newRow("not UTF-8") << head + "Name=\xe9t\xe9\n"
                               << invalid << ""
                               << "";
    QTest::newRow("directory") << QByteArray("[Desktop Entry]\nType=Directory\nName=D\n") << invalid
                               << ""
                               << "";
    QTest::newRow("link without address")
        << QByteArray("[Desktop Entry]\nType=Link\nName=L\n") << invalid << ""
        << "";
    QTest::newRow("not an entry at all") << QByteArray("\x89PNG\r\n\x1a\n garbage") << invalid << ""
                                         << "";
}

void TestDesktopEntries::shouldReadEntries()
{
    QFETCH(QByteArray, text);
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(QString, note);
    m_desktop->write("entries/read.desktop", text);
    const DesktopEntry read = DesktopEntry::read(m_desktop->path("entries/read.desktop"));
    QCOMPARE(int(read.kind()), kind);
    if (read.isValid()) {
        QCOMPARE(read.name(), name);
        QCOMPARE(read.note(), note);
    }
}

void TestDesktopEntries::shouldAddDroppedEntries()
{
    const QString terminal = m_desktop->path("data/applications/term.desktop");
    const QString player = m_desktop->path("share/applications/player.desktop");
    const QString site = m_desktop->path("share/applications/link.desktop");
    const QString broken = writeEntry("broken", "Type=Application\nName=Broken\n");
    m_desktop->write("entries/notes.txt", "notes");
    // A file manager's links to places on this machine.
    const QString place =
        writeEntry("place", "Type=Link\nName=Work\nURL=" +
                                QUrl::fromLocalFile(m_desktop->path("work")).toString());
    const QString document = writeEntry("document", "Type=Link\nName=Notes\nURL=file://" +
                                                        m_desktop->path("entries/notes.txt"));
    open();
    emit items()->dropIn({QUrl::fromLocalFile(terminal), QUrl::fromLocalFile(broken),
                          QUrl::fromLocalFile(player), QUrl::fromLocalFile(site),
                          QUrl::fromLocalFile(m_desktop->path("entries/notes.txt")),
                          QUrl::fromLocalFile(place), QUrl::fromLocalFile(document)});
    QCOMPARE(Notices::shown(), QStringList{"无效的应用程序入口"});
    QCOMPARE(Catalogue::column("SELECT Name || '|' || Type || '|' || Path FROM Items ORDER BY ID"),
             (QStringList{"终端|0|" + terminal, "Player|0|" + player, "Site|2|https://example.org",
                          "notes|0|" + m_desktop->path("entries/notes.txt"),
                          "Work|1|" + m_desktop->path("work"), "Notes|0|" + document}));
    // The two applications share an icon: one cached file, rendered at 64 px.
    const QStringList icons = Catalogue::column("SELECT IconPath FROM Items ORDER BY ID");
    QCOMPARE(icons.at(0).size(), 40);
    QCOMPARE(icons.at(1), icons.at(0));
    QCOMPARE(cacheRows(), 1);
    const QImage cached(DataControl::cacheFileName(icons.at(0)));
    QCOMPARE(cached.size(), QSize(64, 64));
    QVERIFY(isFilledWith(cached, Qt::red));
    QSqlQuery row(Catalogue::iconCache());
    QVERIFY(row.exec("SELECT Class FROM Caches"));
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toString(), QStringLiteral("拖拽添加"));
}

void TestDesktopEntries::shouldAddLinkedEntryAndEntryWithoutIcon()
{
    const QString terminal = m_desktop->path("data/applications/term.desktop");
    QDir().mkpath(m_desktop->path("links"));
    QFile::remove(m_desktop->path("links/my terminal.desktop"));
    QVERIFY(QFile::link(terminal, m_desktop->path("links/my terminal.desktop")));
    const QString iconless =
        writeEntry("iconless", "Type=Application\nName=No icon\nExec=true\nIcon=no-such-icon\n");
    open();
    ModalAnswers answers;
    answers.press(QMessageBox::Yes);
    emit items()->dropIn({QUrl::fromLocalFile(m_desktop->path("links/my terminal.desktop")),
                          QUrl::fromLocalFile(iconless)});
    QCOMPARE(answers.questions(), QStringList{"是否要以快捷方式添加"});
    QVERIFY(Notices::shown().isEmpty());
    QCOMPARE(Catalogue::column("SELECT Name || '|' || Path || '|' || IFNULL(IconPath, '') FROM "
                               "Items ORDER BY ID")
                 .value(1),
             "No icon|" + iconless + "|");
    QCOMPARE(Catalogue::value("SELECT Name || '|' || Path FROM Items WHERE ID = (SELECT MIN(ID) "
                              "FROM Items)"),
             "终端|" + m_desktop->path("links/my terminal.desktop"));
}

void TestDesktopEntries::shouldStartApplicationsAsTheDesktopDoes_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("workingDirectory");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("lines");
    const QString script = QStringLiteral("\"%1\"").arg(m_record);
    // With neither Path nor a folder of the item, the home folder, as the desktop does.
    QTest::newRow("quoted arguments and field codes")
        << "Type=Application\nName=Codes\nExec=" + script + " codes \"a b\" %f %U --class=%c\n"
        << ""
        << "codes" << QStringList{QDir::homePath(), "[a b]", "[--class=Codes]"};
    QTest::newRow("the entry's folder") << "Type=Application\nName=P\nExec=" + script +
                                               " path\nPath=" + m_desktop->path("work") + "\n"
                                        << ""
                                        << "path" << QStringList{m_desktop->path("work")};
    QTest::newRow("an empty Path is none")
        << "Type=Application\nName=P\nExec=" + script + " empty\nPath=\n"
        << ""
        << "empty" << QStringList{QDir::homePath()};
    QTest::newRow("the item's folder first")
        << "Type=Application\nName=P\nExec=" + script + " own\nPath=" + m_desktop->path("work") +
               "\n"
        << m_desktop->path("other work") << "own" << QStringList{m_desktop->path("other work")};
    QTest::newRow("in a terminal")
        << "Type=Application\nName=T\nExec=" + script + " term\nTerminal=true\n"
        << ""
        << "term" << QStringList{QDir::homePath()};
}

void TestDesktopEntries::shouldStartApplicationsAsTheDesktopDoes()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    QFETCH(QString, body);
    QFETCH(QString, workingDirectory);
    QFETCH(QString, out);
    QFETCH(QStringList, lines);
    const QString file = writeEntry(out, body);
    QSqlQuery insert(Catalogue::connection());
    insert.prepare("INSERT INTO Items(ID, Name, Type, Path, WorkingDirectory, GroupsID, TypesID) "
                   "VALUES (1, 'app', 0, ?, ?, 10, 1)");
    insert.addBindValue(file);
    insert.addBindValue(workingDirectory);
    QVERIFY(insert.exec());
    open();
    m_window->data_itemRun(items()->model()->index(0, 0));
    QTRY_COMPARE(recorded(out), lines);
    QVERIFY(m_desktop->startedApart(out));
    QTRY_COMPARE(Catalogue::value("SELECT RunCount FROM Items"), QStringLiteral("1"));
    if (out == "term")
        QCOMPARE(recorded("terminal").value(0), "-e " + m_record + " term");
}

void TestDesktopEntries::shouldHandItemArgumentsToTheApplication_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("notice");
    const QString work = m_desktop->path("work");
    m_desktop->write("work/notes.txt", "notes\n");
    m_desktop->write("work/年度 总结.txt", "summary\n");
    const auto row = [](const char *tag, const QString &exec, const QString &arguments,
                        const QStringList &lines, const QString &notice = QString()) {
        QTest::newRow(tag) << exec << arguments << lines << notice;
    };
    // Relative names of files in the item's folder become absolute; the rest pass as written.
    row("file and address", "%U", "notes.txt https://example.org/a",
        {work, "[" + work + "/notes.txt]", "[https://example.org/a]"});
    row("option and address", "%U", "--new-window https://example.org",
        {work, "[--new-window]", "[https://example.org]"});
    row("quoted name with a space", "%F", "\"年度 总结.txt\" -v",
        {work, "[" + work + "/年度 总结.txt]", "[-v]"});
    row("a name that is no file here", "%f", "later.txt", {work, "[later.txt]"});
    row("no field code: at the end", "--fixed", "-x 'a b'", {work, "[--fixed]", "[-x]", "[a b]"});
    row("only the first file code", "%f --then %F", "one two",
        {work, "[one]", "[two]", "[--then]"});
    row("percent and dollar kept", "%U", "'50%' '$HOME' \\`x\\`",
        {work, "[50%]", "[$HOME]", "[`x`]"});
    row("quotes that do not close", "%U", "\"a b", {}, "打开失败, 参数有误");
    // A code inside quotes must not let an argument end the quote and be read as Exec.
    row("field code in quotes", "\"%F\"", "'a b.txt' '$(touch pwned)'",
        {work, "[a b.txt]", "[$(touch pwned)]"});
    row("field code inside a quoted word", "\"--name=%f\"", "x", {work, "[--name=]", "[x]"});
}

void TestDesktopEntries::shouldHandItemArgumentsToTheApplication()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    QFETCH(QString, exec);
    QFETCH(QString, arguments);
    QFETCH(QStringList, lines);
    QFETCH(QString, notice);
    const QString file = writeEntry(
        "files",
        QStringLiteral("Type=Application\nName=F\nExec=\"%1\" files %2\n").arg(m_record, exec));
    QSqlQuery insert(Catalogue::connection());
    insert.prepare("INSERT INTO Items(ID, Name, Type, Path, Arguments, WorkingDirectory, GroupsID, "
                   "TypesID) VALUES (1, 'app', 0, ?, ?, ?, 10, 1)");
    insert.addBindValue(file);
    insert.addBindValue(arguments);
    insert.addBindValue(m_desktop->path("work"));
    QVERIFY(insert.exec());
    open();
    m_window->data_itemRun(items()->model()->index(0, 0));
    if (!notice.isEmpty()) {
        QCOMPARE(Notices::shown(), QStringList{notice});
        QVERIFY(stillAfter(200, [this] { return recorded("files").isEmpty(); }));
        return;
    }
    QTRY_COMPARE(recorded("files"), lines);
    QVERIFY(Notices::shown().isEmpty());
}

void TestDesktopEntries::shouldAskBeforeStartingUntrustedEntries_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QString>("link");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("started");
    const int none = QMessageBox::NoButton;
    // A download dressed as a document: its own name and icon say nothing of what it runs.
    QTest::newRow("downloaded, refused")
        << "downloads/invoice.pdf.desktop" << false << "" << int(QMessageBox::No) << false;
    QTest::newRow("downloaded, agreed")
        << "downloads/invoice.pdf.desktop" << false << "" << int(QMessageBox::Yes) << true;
    QTest::newRow("executable") << "downloads/mine.desktop" << true << "" << none << true;
    QTest::newRow("in the applications folder")
        << "data/applications/plain.desktop" << false << "" << none << true;
    // A link is decided by what it leads to, and starts as an application, not a document.
    QTest::newRow("link to a download")
        << "downloads/app.desktop" << false << "links/myapp" << int(QMessageBox::No) << false;
    QTest::newRow("link to an installed application")
        << "data/applications/linked-app.desktop" << false << "links/myapp" << none << true;
    QTest::newRow("link named as an entry, to a download")
        << "downloads/app.desktop" << false << "links/myapp.desktop" << int(QMessageBox::No)
        << false;
}

void TestDesktopEntries::shouldAskBeforeStartingUntrustedEntries()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    QFETCH(QString, where);
    QFETCH(bool, executable);
    QFETCH(QString, link);
    QFETCH(int, answer);
    QFETCH(bool, started);
    const QString command = QStringLiteral("\"%1\" trust").arg(m_record);
    m_desktop->write(
        where, entry("Type=Application\nName=invoice.pdf\nIcon=application-pdf\nNoDisplay=true\n"
                     "Exec=" +
                     command + "\n")
                   .toUtf8());
    const QString file = m_desktop->path(where);
    QFile::setPermissions(file, executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                           : QFile::ReadOwner | QFile::WriteOwner);
    QString item = file;
    if (!link.isEmpty()) {
        item = m_desktop->path(link);
        QDir().mkpath(QFileInfo(item).path());
        QFile::remove(item);
        QVERIFY(QFile::link(file, item));
    }
    Catalogue::exec(QStringLiteral("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) "
                                   "VALUES (1, 'invoice.pdf', 0, '%1', 10, 1)")
                        .arg(item));
    open();
    ModalAnswers answers;
    if (answer != QMessageBox::NoButton)
        answers.press(QMessageBox::StandardButton(answer));
    m_window->data_itemRun(items()->model()->index(0, 0));
    const QStringList asked{"此应用程序入口不受信任，是否仍要启动？\n\n" + command};
    QCOMPARE(answers.questions(), answer == QMessageBox::NoButton ? QStringList() : asked);
    if (!started) {
        QVERIFY(stillAfter(300, [this] { return recorded("trust").isEmpty(); }));
        QCOMPARE(Catalogue::value("SELECT RunCount FROM Items"), QStringLiteral("0"));
        QVERIFY(!QFileInfo(file).isExecutable());
        return;
    }
    QTRY_COMPARE(recorded("trust"), QStringList{QDir::homePath()});
    QTRY_COMPARE(Catalogue::value("SELECT RunCount FROM Items"), QStringLiteral("1"));
    // Agreed once, trusted from then on, as a file manager marks it.
    m_desktop->clear();
    m_window->data_itemRun(items()->model()->index(0, 0));
    QTRY_COMPARE(recorded("trust"), QStringList{QDir::homePath()});
    QCOMPARE(answers.questions().size(), answer == QMessageBox::NoButton ? 0 : 1);
}

void TestDesktopEntries::shouldStartOnlyWhatWasShown_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("rewritten in place") << "rewrite";
    QTest::newRow("replaced by another file") << "replace";
    QTest::newRow("link led elsewhere") << "relink";
}

// The entry changes while the question is open: what was shown starts, and nothing vouches for
// what the user never saw.
void TestDesktopEntries::shouldStartOnlyWhatWasShown()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    QFETCH(QString, change);
    const QString shown = QStringLiteral("\"%1\" shown").arg(m_record);
    const QString swapped = QStringLiteral("\"%1\" swapped").arg(m_record);
    const auto body = [](const QString &exec) {
        return entry("Type=Application\nName=invoice.pdf\nExec=" + exec + "\n").toUtf8();
    };
    const QString file = m_desktop->path("downloads/swap.desktop");
    const QString other = m_desktop->path("downloads/other.desktop");
    for (const QString &left : {file, other})
        QFile::remove(left);
    m_desktop->write("downloads/swap.desktop", body(shown));
    QString item = file;
    if (change == "relink") {
        item = m_desktop->path("links/swap");
        QDir().mkpath(QFileInfo(item).path());
        QFile::remove(item);
        QVERIFY(QFile::link(file, item));
    }
    Catalogue::exec(QStringLiteral("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) "
                                   "VALUES (1, 'invoice.pdf', 0, '%1', 10, 1)")
                        .arg(item));
    open();
    ModalAnswers answers;
    answers
        .then([&](QWidget *modal) {
            if (change == "rewrite") {
                m_desktop->write("downloads/swap.desktop", body(swapped));
            } else {
                m_desktop->write("downloads/other.desktop", body(swapped));
                if (change == "replace")
                    QCOMPARE(std::rename(QFile::encodeName(other).constData(),
                                         QFile::encodeName(file).constData()),
                             0);
                else
                    QVERIFY(QFile::remove(item) && QFile::link(other, item));
            }
            qobject_cast<QMessageBox *>(modal)->button(QMessageBox::Yes)->click();
        })
        .press(QMessageBox::No);
    m_window->data_itemRun(items()->model()->index(0, 0));
    QTRY_COMPARE(recorded("shown"), QStringList{QDir::homePath()});
    QTRY_COMPARE(Catalogue::value("SELECT RunCount FROM Items"), QStringLiteral("1"));
    m_window->data_itemRun(items()->model()->index(0, 0));
    const QString question = QStringLiteral("此应用程序入口不受信任，是否仍要启动？\n\n");
    QCOMPARE(answers.questions(), (QStringList{question + shown, question + swapped}));
    QVERIFY(recorded("swapped").isEmpty());
    QVERIFY(!QFileInfo(item).isExecutable());
}

void TestDesktopEntries::shouldRunNothingUnseen()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    const QString marker = m_desktop->path("handlers/unseen.ran");
    m_desktop->write("work/unseen.sh",
                     QStringLiteral("#!/bin/sh\ntouch %1\n").arg(marker).toUtf8());
    QFile::setPermissions(m_desktop->path("work/unseen.sh"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Activated over D-Bus, without Exec: its arguments are files to open, never a program.
    const QString activated =
        writeEntry("activated", "Type=Application\nName=A\nDBusActivatable=true\n");
    // A byte that is not UTF-8: this reader refuses it, GIO would run it.
    m_desktop->write("entries/stray.desktop",
                     QByteArray("[Desktop Entry]\nType=Application\nName=S\nComment=\xff\nExec=") +
                         QFile::encodeName(m_desktop->path("work/unseen.sh")) + "\n");
    // A downloaded link to a file, which may be a program in disguise.
    m_desktop->write("downloads/notes.desktop",
                     QStringLiteral("[Desktop Entry]\nType=Link\nName=notes\nURL=file://%1\n")
                         .arg(m_desktop->path("work/unseen.sh"))
                         .toUtf8());
    QSqlQuery insert(Catalogue::connection());
    insert.prepare("INSERT INTO Items(ID, Name, Type, Path, Arguments, WorkingDirectory, GroupsID, "
                   "TypesID) VALUES (?, 'x', 0, ?, ?, ?, 10, 1)");
    const QList<QStringList> rows{{activated, "unseen.sh"},
                                   {m_desktop->path("entries/stray.desktop"), ""},
                                   {m_desktop->path("downloads/notes.desktop"), ""}};
    for (int i = 0; i < rows.size(); ++i) {
        insert.addBindValue(i + 1);
        insert.addBindValue(rows.at(i).at(0));
        insert.addBindValue(rows.at(i).at(1));
        insert.addBindValue(m_desktop->path("work"));
        QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
    }
    open();
    m_window->data_itemRun(items()->model()->index(0, 0));
    QTRY_COMPARE(Notices::shown(), QStringList{"打开失败, 无法启动"});
    Notices::clear();
    m_window->data_itemRun(items()->model()->index(1, 0));
    QCOMPARE(Notices::shown(), QStringList{"打开失败, 无法启动"});
    ModalAnswers answers;
    answers.press(QMessageBox::No);
    m_window->data_itemRun(items()->model()->index(2, 0));
    QCOMPARE(answers.questions(), QStringList{"此应用程序入口不受信任，是否仍要启动？\n\n" +
                                              m_desktop->path("work/unseen.sh")});
    QVERIFY(stillAfter(300, [&marker] { return !QFile::exists(marker); }));
}

void TestDesktopEntries::shouldGiveStartedProgramsNothingOfOurs()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    // What it was started with: its startup identifier and the files it holds open.
    const QString script = m_desktop->path("bin/inherit.sh");
    m_desktop->write("bin/inherit.sh",
                     QStringLiteral("#!/bin/sh\nout=%1/$1.out\n{ echo \"id=$DESKTOP_STARTUP_ID\"; "
                                    "for f in /proc/$$/fd/*; do readlink \"$f\"; done; } > "
                                    "\"$out.part\"\nmv \"$out.part\" \"$out\"\n")
                         .arg(m_desktop->path("handlers"))
                         .toUtf8());
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString app = writeEntry(
        "inherit",
        QStringLiteral("Type=Application\nName=I\nExec=%1 app\nStartupNotify=true\n").arg(script));
    Catalogue::exec(QStringLiteral("INSERT INTO Items(ID, Name, Type, Path, Arguments, GroupsID, "
                                   "TypesID) VALUES (1, 'app', 0, '%1', '', 10, 1), "
                                   "(2, 'program', 0, '%2', 'program', 10, 1)")
                        .arg(app, script));
    open();
    const bool x11 = QX11Info::isPlatformX11();
    // Later than any input the test has made: Qt takes only a newer time.
    const quint32 clicked = x11 ? QX11Info::appUserTime() + 4242 : 0;
    // The day's log is open for writing here.
    QVERIFY(QFileInfo(QDir::current().filePath("../cache/log")).isDir());
    for (int row : {0, 1}) {
        // As a click at that time would have left it.
        if (x11)
            QX11Info::setAppUserTime(clicked);
        m_window->data_itemRun(items()->model()->index(row, 0));
    }
    for (const QString &name : {QStringLiteral("app"), QStringLiteral("program")}) {
        QTRY_VERIFY(!recorded(name).isEmpty());
        const QStringList lines = recorded(name);
        for (const QString &open : lines.mid(1))
            QVERIFY2(!open.endsWith(".log") && !open.contains("/cache/"), qPrintable(open));
        // Each start of an application that ends launch feedback itself (StartupNotify) is
        // announced with the time of the user's action.
        if (name == "app" && x11)
            QVERIFY2(QRegularExpression(QStringLiteral("^id=quiver-\\d+-.*_TIME%1$").arg(clicked))
                         .match(lines.value(0))
                         .hasMatch(),
                     qPrintable(lines.value(0)));
        if (name == "program")
            QCOMPARE(lines.value(0), QStringLiteral("id="));
    }
}

void TestDesktopEntries::shouldRefuseEntriesThatCannotStart_data()
{
    QTest::addColumn<QString>("body");
    QTest::newRow("program not installed (TryExec)")
        << "Type=Application\nName=N\nExec=true\nTryExec=/no/such/program\n";
    QTest::newRow("program missing") << "Type=Application\nName=N\nExec=/no/such/program\n";
    QTest::newRow("no application") << "Type=Application\nName=N\n";
}

void TestDesktopEntries::shouldRefuseEntriesThatCannotStart()
{
#ifdef QUIVER_SANITIZE_BUILD
    QSKIP("starts programs from a worker thread, which the sanitizer runtime may deadlock");
#endif
    QFETCH(QString, body);
    const QString file = writeEntry("refused", body);
    Catalogue::exec(QStringLiteral("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) "
                                   "VALUES (1, 'app', 0, '%1', 10, 1)")
                        .arg(file));
    SettingsControl::instance().setThenHide(true);
    open();
    m_window->data_itemRun(items()->model()->index(0, 0));
    QTRY_COMPARE(Notices::shown(), QStringList{"打开失败, 无法启动"});
    QCOMPARE(Catalogue::value("SELECT RunCount FROM Items"), QStringLiteral("0"));
    QVERIFY(m_window->isVisible());
    SettingsControl::instance().setThenHide(false);
}

void TestDesktopEntries::shouldShowApplicationIcons_data()
{
    QTest::addColumn<QString>("icon");
    QTest::addColumn<int>("color");
    QTest::newRow("theme name") << "quiver-red" << int(Qt::red);
    QTest::newRow("pixmaps folder") << "quiver-old" << int(Qt::blue);
    QTest::newRow("pixmaps with suffix") << "quiver-old.png" << int(Qt::blue);
    QTest::newRow("theme name with suffix") << "quiver-red.png" << int(Qt::red);
    QTest::newRow("absolute path") << "ABS" << int(Qt::blue);
}

void TestDesktopEntries::shouldShowApplicationIcons()
{
    QFETCH(QString, icon);
    QFETCH(int, color);
    icon.replace("ABS", m_desktop->path("share/pixmaps/quiver-old.png"));
    const QString file = writeEntry("icon", "Type=Application\nName=I\nExec=true\nIcon=" + icon);
    // No icon theme is named here (a bare window manager): hicolor and pixmaps still serve.
    QVERIFY(
        isFilledWith(picture(IconLoader::instance().itemIcon(0, file)), Qt::GlobalColor(color)));
}

void TestDesktopEntries::shouldExtractIconsOfEntriesAndPictures()
{
    Form_IconSelector selector;
    auto *extracted = selector.findChild<QListView *>("listView_extract");
    const QString application = m_desktop->path("data/applications/term.desktop");
    selector.onExtract(IconLoader::instance().fileIcon(application), "term");
    QStringList sizes = rowTexts(extracted->model());
    sizes.sort();
    QCOMPARE(sizes, (QStringList{"term_16*16", "term_48*48"}));
    QVERIFY(
        isFilledWith(picture(extracted->model()->index(0, 0).data(Qt::DecorationRole)), Qt::red));

    const QString png = m_desktop->path("share/pixmaps/quiver-old.png");
    selector.onExtract(IconLoader::instance().fileIcon(png), "old");
    QCOMPARE(rowTexts(extracted->model()), QStringList{"old_32*32"});

    m_desktop->write("entries/logo.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='10' "
                                         "height='10'><rect width='10' height='10' "
                                         "fill='#00ff00'/></svg>");
    selector.onExtract(IconLoader::instance().fileIcon(m_desktop->path("entries/logo.svg")),
                       "logo");
    QCOMPARE(extracted->model()->rowCount(), 7);
    QCOMPARE(extracted->model()->index(6, 0).data().toString(), QStringLiteral("logo_256*256"));
}

void TestDesktopEntries::shouldOfferImportOnceOnFirstStart()
{
    for (const char *table : {"Types", "Groups"})
        Catalogue::exec(QStringLiteral("DELETE FROM %1").arg(table));
    SettingsControl::instance().setImportOffered(false);
    open();
    QVERIFY(!items()->emptyHint().isEmpty());
    ModalAnswers answers;
    answers.press(QMessageBox::Yes).press(QMessageBox::Yes);
    m_window->onFirstStart();
    QCOMPARE(answers.questions(), QStringList{"是否导入已安装的应用程序？"});
    QVERIFY(Notices::shown().contains("已导入7个应用程序"));
    QCOMPARE(m_window->findChild<TypesListView *>()->currentIndex().data().toString(),
             QStringLiteral("应用程序"));
    QVERIFY(items()->emptyHint().isEmpty());

    // Asked once: the next start with an empty catalogue does not ask again.
    for (const char *table : {"Types", "Groups", "Items"})
        Catalogue::exec(QStringLiteral("DELETE FROM %1").arg(table));
    open();
    m_window->onFirstStart();
    QCOMPARE(answers.pending(), 1);
}

void TestDesktopEntries::shouldImportShownApplicationsIntoCategoryGroups()
{
    open();
    QCOMPARE(ApplicationImport::run(), 7);
    const QString type = Catalogue::value("SELECT ID FROM Types WHERE Name = '应用程序'");
    QVERIFY(!type.isEmpty());
    QCOMPARE(Catalogue::column("SELECT Name FROM Groups WHERE TypesID = " + type + " ORDER BY Row"),
             (QStringList{"影音", "开发", "游戏", "办公", "系统", "工具", "其他"}));
    QCOMPARE(Catalogue::column("SELECT g.Name || '/' || i.Name FROM Items i JOIN Groups g ON "
                               "g.ID = i.GroupsID ORDER BY g.Row, i.ID"),
             (QStringList{"影音/Player", "开发/Editor", "游戏/Only here", "办公/Home copy",
                          "系统/终端", "工具/Tool", "其他/Misc"}));
    // Two applications share the red icon: it is rendered and stored once.
    QCOMPARE(cacheRows(), 2);
    QCOMPARE(Catalogue::value("SELECT COUNT(DISTINCT IconPath) FROM Items WHERE IconPath != ''"),
             QStringLiteral("2"));
}

void TestDesktopEntries::shouldImportOnlyWhatIsNew()
{
    open();
    QCOMPARE(ApplicationImport::run(), 7);
    // Installed while the launcher runs, icon and all; its pixels are those of an icon stored
    // before, under another name: stored once, by content.
    m_desktop->addThemeIcon("quiver-red-again", Qt::red, 48);
    m_desktop->write(
        "share/applications/late.desktop",
        entry("Type=Application\nName=Late\nExec=true\nIcon=quiver-red-again\n").toUtf8());
    QTRY_VERIFY(ApplicationImport::installedEntries().contains(
        m_desktop->path("share/applications/late.desktop")));
    QCOMPARE(ApplicationImport::run(), 1);
    QCOMPARE(Catalogue::value("SELECT IconPath FROM Items WHERE Name = 'Late'"),
             Catalogue::value("SELECT IconPath FROM Items WHERE Name = 'Player'"));
    QCOMPARE(cacheRows(), 2);
    Catalogue::exec("UPDATE Items SET Name = '我的终端', IconPath = '' WHERE Name = '终端'");
    Catalogue::exec("UPDATE Items SET GroupsID = 10, TypesID = 1 WHERE Name = 'Editor'");
    // Added by hand before, through a link of its own: the same application, not imported again.
    const QString linked = m_desktop->path("share/applications/linked.desktop");
    m_desktop->write("share/applications/linked.desktop",
                     entry("Type=Application\nName=Linked\nExec=true\n").toUtf8());
    QTRY_VERIFY(ApplicationImport::installedEntries().contains(linked));
    QDir().mkpath(m_desktop->path("links"));
    QFile::remove(m_desktop->path("links/mine.desktop"));
    QVERIFY(QFile::link(linked, m_desktop->path("links/mine.desktop")));
    // And through a link named as a program is.
    const QString named = m_desktop->path("share/applications/named.desktop");
    m_desktop->write("share/applications/named.desktop",
                     entry("Type=Application\nName=Named\nExec=true\n").toUtf8());
    QTRY_VERIFY(ApplicationImport::installedEntries().contains(named));
    QFile::remove(m_desktop->path("links/named"));
    QVERIFY(QFile::link(named, m_desktop->path("links/named")));
    Catalogue::exec(
        QStringLiteral("INSERT INTO Items(Name, Type, Path, GroupsID, TypesID) VALUES "
                       "('mine', 0, '%1', 10, 1), ('named', 0, '%2', 10, 1)")
            .arg(m_desktop->path("links/mine.desktop"), m_desktop->path("links/named")));
    const QStringList before =
        Catalogue::column("SELECT ID || Name || GroupsID || IFNULL(IconPath, '') FROM Items");
    m_window->findChild<TypesListView *>()->actionImport()->trigger();
    QVERIFY(Notices::shown().contains("已导入0个应用程序"));
    QCOMPARE(Catalogue::column("SELECT ID || Name || GroupsID || IFNULL(IconPath, '') FROM Items"),
             before);
}

QUIVER_TEST_MAIN(TestDesktopEntries)
#include "tst_desktopentries.moc"
