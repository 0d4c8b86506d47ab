#include "App/Program.h"
#include "Window/FormMain.h"
#include "Catalogue/GroupsListView.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ItemsListView.h"
#include "Catalogue/ResultsListView.h"
#include "Search/SearchIndex.h"
#include "Core/SettingsControl.h"
#include "Catalogue/TypesListView.h"
#include "CatalogueSupport.h"
#include "TestSupport.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QStackedWidget>
#include <QToolButton>

#include <functional>
#include <memory>

// Keyboard-first search through the real window on a real catalogue: typing, ranking, keys,
// and results that follow every change of the catalogue.
class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldRankInBandsThenByUse_data();
    void shouldRankInBandsThenByUse();
    void shouldShowRankedResultsAsTyped();
    void shouldMoveAndRunFromTheSearchBox();
    void shouldClearThenHideOnEscape();
    void shouldTypeIntoSearchFromTheLists();
    void shouldRunCurrentEntryOnEnterInLists();
    void shouldFollowCatalogueChanges();
    void shouldKeepOldSearchWhenInstantIsOff();

private:
    void open();
    QStringList results() const { return rowTexts(resultsView()->model()); }
    QLineEdit *search() const { return m_window->findChild<QLineEdit *>("lineEdit_search"); }
    ResultsListView *resultsView() const
    {
        return m_window->findChild<ResultsListView *>("listView_result");
    }
    ItemsListView *items() const { return m_window->findChild<ItemsListView *>("listView_items"); }
    int page() const
    {
        return m_window->findChild<QStackedWidget *>("stackedWidget")->currentIndex();
    }
    QString writeMarker(const QString &name);

    std::unique_ptr<CatalogueWorkDir> m_dir;
    std::unique_ptr<Program> m_program;
    FormMain *m_window = nullptr;
};

void TestSearch::initTestCase()
{
    m_dir = std::make_unique<CatalogueWorkDir>();
    QVERIFY(m_dir->isOpen());
}

void TestSearch::init()
{
    Catalogue::reset("(1, 'T1', 0), (2, 'T2', 1)",
                     "(10, 'G10', 1, 0), (11, 'G11', 1, 1), (20, 'G20', 2, 0)");
    SettingsControl::instance().setInstantSearch(true);
    SettingsControl::instance().setThenHide(false);
}

void TestSearch::cleanup()
{
    m_program.reset();
    Notices::clear();
    SettingsControl::instance().setInstantSearch(true);
}

void TestSearch::open()
{
    m_program = std::make_unique<Program>();
    m_window = &m_program->window();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

QString TestSearch::writeMarker(const QString &name)
{
    const QString path = m_dir->path(name);
    QFile script(path);
    script.open(QIODevice::WriteOnly);
    script.write(QStringLiteral("#!/bin/sh\necho ran >> %1.out\n").arg(path).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    return path;
}

void TestSearch::shouldRankInBandsThenByUse_data()
{
    // Each row: the items as "name|note|runs|last run", the query, the order expected.
    QTest::addColumn<QStringList>("catalogue");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("ranked");
    QTest::newRow("exact name above a much-used partial match")
        << QStringList{"Code Runner||50|1700000000", "code||0|0"} << "code"
        << QStringList{"code", "Code Runner"};
    QTest::newRow("prefix above substring above note")
        << QStringList{"Unicode||9|0", "Coder||0|0", "Editor|code of mine|9|0"} << "code"
        << QStringList{"Coder", "Unicode", "Editor"};
    QTest::newRow("more runs, then later runs, within a band")
        << QStringList{"term a||1|1700000000", "term b||3|1600000000", "term c||3|1700000000"}
        << "term" << QStringList{"term c", "term b", "term a"};
    QTest::newRow("then the shorter name, then the lower id")
        << QStringList{"gitk long||0|0", "gitg||0|0", "gitx||0|0"} << "git"
        << QStringList{"gitg", "gitx", "gitk long"};
    QTest::newRow("pinyin initials and prefixes of Chinese names")
        << QStringList{"微信||0|0", "文学||0|0", "无线网络||0|0"} << "wx"
        << QStringList{"微信", "文学", "无线网络"};
    QTest::newRow("note-only match last but one, fuzzy last")
        << QStringList{"Navy Scout||0|0", "Visual Studio Code||0|0", "Terminal|vsc settings|0|0"}
        << "vsc" << QStringList{"Visual Studio Code", "Terminal", "Navy Scout"};
    QTest::newRow("wildcards as before") << QStringList{"report 2024||0|0", "rapport||0|0"}
                                         << "r_port" << QStringList{"report 2024"};
    QTest::newRow("punctuation in names passed over")
        << QStringList{"中国（银行）||0|0", "中国-银行||0|0", "中国x银行||0|0"} << "zgyh"
        << QStringList{"中国-银行", "中国（银行）"};
    QTest::newRow("a note above letters spelled across words")
        << QStringList{"Mozilla Firefox||0|0", "Browser|safe browsing|0|0"} << "af"
        << QStringList{"Browser", "Mozilla Firefox"};
    QTest::newRow("one letter folded into two")
        << QStringList{"Straße||0|0", "Strand||0|0", "ﬁle Manager||0|0"} << "STRASSE"
        << QStringList{"Straße"};
    // A text pasted into a note by mistake is searched in its first 65,535 characters; the
    // items after it are found as they are.
    const QString pasted = "Pasted|" + QString(70000, 'a') + " zebra|0|0";
    QTest::newRow("past a huge note, the next item")
        << QStringList{pasted, "zebra crossing||0|0"} << "zebra" << QStringList{"zebra crossing"};
    QTest::newRow("the start of a huge note")
        << QStringList{pasted, "zebra crossing||0|0"} << "aaaa" << QStringList{"Pasted"};
    QTest::newRow("past a huge name, the next item")
        << QStringList{QString(70000, 'b') + "||0|0", "zebra crossing||0|0"} << "zebra"
        << QStringList{"zebra crossing"};
}

void TestSearch::shouldRankInBandsThenByUse()
{
    QFETCH(QStringList, catalogue);
    QFETCH(QString, typed);
    QFETCH(QStringList, ranked);
    int id = 1;
    for (const QString &line : catalogue) {
        const QStringList fields = line.split('|');
        QSqlQuery insert(Catalogue::connection());
        insert.prepare("INSERT INTO Items(ID, Name, Note, RunCount, RunDate, Type, Path, "
                       "GroupsID, TypesID) VALUES (?, ?, ?, ?, ?, 3, 'true', 10, 1)");
        for (const QVariant &value :
             {QVariant(id++), QVariant(fields.at(0)), QVariant(fields.at(1)),
              QVariant(fields.at(2).toInt()), QVariant(fields.at(3))})
            insert.addBindValue(value);
        QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
    }
    open();
    search()->setText(typed);
    QCOMPARE(results(), ranked);
    QCOMPARE(resultsView()->currentIndex().row(), 0);
}

void TestSearch::shouldShowRankedResultsAsTyped()
{
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) VALUES "
                    "(1, '微信', 3, 'true', 10, 1), (2, 'Visual Studio Code', 3, 'true', 20, 2)");
    open();
    QTest::keyClicks(search(), "wei");
    QCOMPARE(page(), 1);
    QVERIFY(m_window->findChild<QToolButton *>("toolButton_back")->isVisible());
    QCOMPARE(results(), QStringList{"微信"});
    // Never the matches of an older text than the one in the box.
    QTest::keyClick(search(), Qt::Key_Backspace);
    QTest::keyClick(search(), Qt::Key_Backspace);
    QTest::keyClick(search(), Qt::Key_Backspace);
    QTest::keyClicks(search(), "vsc");
    QCOMPARE(results(), QStringList{"Visual Studio Code"});
    search()->clear();
    QCOMPARE(page(), 0);
    QVERIFY(!m_window->findChild<QToolButton *>("toolButton_back")->isVisible());

    // Back ends the search with its page.
    QTest::keyClicks(search(), "wei");
    m_window->findChild<QToolButton *>("toolButton_back")->click();
    QCOMPARE(page(), 0);
    QVERIFY(search()->text().isEmpty());
}

void TestSearch::shouldMoveAndRunFromTheSearchBox()
{
    const QString first = writeMarker("first.sh");
    const QString second = writeMarker("second.sh");
    Catalogue::exec(QStringLiteral("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) "
                                   "VALUES (1, 'marker one', 0, '%1', 10, 1), (2, 'marker two', "
                                   "0, '%2', 10, 1)")
                        .arg(first, second));
    open();
    QTest::keyClicks(search(), "marker");
    QCOMPARE(results(), (QStringList{"marker one", "marker two"}));
    QTest::keyClick(search(), Qt::Key_Down);
    QCOMPARE(resultsView()->currentIndex().row(), 1);
    QVERIFY(search()->hasFocus());
    QTest::keyClick(search(), Qt::Key_Up);
    QTest::keyClick(search(), Qt::Key_PageDown);
    QCOMPARE(resultsView()->currentIndex().row(), 1);
    QTest::keyClick(search(), Qt::Key_Return);
    QTRY_VERIFY(QFile::exists(second + ".out"));
    QTRY_COMPARE(Catalogue::value("SELECT RunCount FROM Items WHERE ID = 2"), QStringLiteral("1"));
    QVERIFY(!QFile::exists(first + ".out"));
    // The run counts at once: searched again, it comes first.
    search()->clear();
    QTest::keyClicks(search(), "marker");
    QCOMPARE(results(), (QStringList{"marker two", "marker one"}));
}

void TestSearch::shouldClearThenHideOnEscape()
{
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) VALUES "
                    "(1, 'alpha', 3, 'true', 10, 1)");
    open();
    QTest::keyClicks(search(), "alp");
    QCOMPARE(page(), 1);
    QTest::keyClick(search(), Qt::Key_Escape);
    QVERIFY(search()->text().isEmpty());
    QCOMPARE(page(), 0);
    QVERIFY(m_window->isVisible());
    QTest::keyClick(search(), Qt::Key_Escape);
    QTRY_VERIFY(m_window->isHidden() || m_window->isMinimized());

    // Left by Escape in the results or by "定位位置", a search leaves no text behind whose
    // hidden results Enter would start, or that the next letter would add to.
    const auto leave = [this](const std::function<void()> &how) {
        QTest::keyClicks(search(), "alp");
        QCOMPARE(results(), QStringList{"alpha"});
        how();
        QCOMPARE(page(), 0);
        QVERIFY(search()->text().isEmpty());
        QVERIFY(results().isEmpty());
    };
    m_window->showNormal();
    leave([this] {
        resultsView()->setFocus();
        QTest::keyClick(resultsView(), Qt::Key_Escape);
    });
    QVERIFY(m_window->isVisible() && !m_window->isMinimized());
    leave([this] { resultsView()->actionLocate()->trigger(); });
    QCOMPARE(items()->currentIndex().data().toString(), QStringLiteral("alpha"));
}

void TestSearch::shouldTypeIntoSearchFromTheLists()
{
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) VALUES "
                    "(1, 'alpha', 3, 'true', 10, 1), (2, 'beta', 3, 'true', 10, 1)");
    open();
    items()->setFocus();
    items()->setCurrentIndex(items()->model()->index(0, 0));
    // Keys with a meaning in the list keep it.
    QTest::keyClick(items(), Qt::Key_Right);
    QCOMPARE(items()->currentIndex().row(), 1);
    QVERIFY(items()->hasFocus());
    QTest::keyClicks(items(), "be");
    QVERIFY(search()->hasFocus());
    QCOMPARE(search()->text(), QStringLiteral("be"));
    QCOMPARE(results(), QStringList{"beta"});

    search()->clear();
    m_window->findChild<TypesListView *>()->setFocus();
    QTest::keyClicks(m_window->findChild<TypesListView *>(), "a");
    QCOMPARE(search()->text(), QStringLiteral("a"));

    // An input method composes in the list that has the focus: the composition shows in the
    // box, the list keeps the keyboard until it is committed (fcitx5 would commit what it has
    // if the focus moved), then the box takes it.
    search()->clear();
    items()->setFocus();
    QInputMethodQueryEvent asked(Qt::ImEnabled | Qt::ImCursorRectangle);
    QApplication::sendEvent(items(), &asked);
    QVERIFY(asked.value(Qt::ImEnabled).toBool());
    QInputMethodEvent composing(QStringLiteral("be"), {});
    QApplication::sendEvent(items(), &composing);
    QVERIFY(items()->hasFocus());
    QCOMPARE(search()->text(), QString());
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("beta"));
    QApplication::sendEvent(items(), &committed);
    QTRY_COMPARE(search()->text(), QStringLiteral("beta"));
    QVERIFY(search()->hasFocus());
    QCOMPARE(results(), QStringList{"beta"});
    search()->clear();
    items()->setFocus();
    QInputMethodEvent direct;
    direct.setCommitString(QStringLiteral("al"));
    QApplication::sendEvent(items(), &direct);
    QTRY_COMPARE(search()->text(), QStringLiteral("al"));
}

void TestSearch::shouldRunCurrentEntryOnEnterInLists()
{
    const QString marker = writeMarker("listed.sh");
    Catalogue::exec(QStringLiteral("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) "
                                   "VALUES (1, 'listed', 0, '%1', 10, 1)")
                        .arg(marker));
    open();
    items()->setFocus();
    items()->setCurrentIndex(items()->model()->index(0, 0));
    QTest::keyClick(items(), Qt::Key_Return);
    QTRY_COMPARE(Catalogue::value("SELECT RunCount FROM Items"), QStringLiteral("1"));

    // Enter ending a rename only renames.
    QTest::keyClick(items(), Qt::Key_F2);
    QWidget *editor = QApplication::focusWidget();
    QVERIFY(qobject_cast<QLineEdit *>(editor));
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "listed again");
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(Catalogue::value("SELECT Name FROM Items"), QStringLiteral("listed again"));
    QVERIFY(stillAfter(200, [] { return Catalogue::value("SELECT RunCount FROM Items") == "1"; }));

    QTest::keyClicks(search(), "listed");
    resultsView()->setFocus();
    QCOMPARE(results(), QStringList{"listed again"});
    QTest::keyClick(resultsView(), Qt::Key_Enter);
    QTRY_COMPARE(Catalogue::value("SELECT RunCount FROM Items"), QStringLiteral("2"));
}

void TestSearch::shouldFollowCatalogueChanges()
{
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) VALUES "
                    "(1, 'zeta one', 3, 'true', 10, 1), (2, 'zeta two', 3, 'true', 11, 1), "
                    "(3, 'zeta three', 3, 'true', 20, 2)");
    open();
    const auto found = [this] {
        search()->clear();
        QTest::keyClicks(search(), "zeta");
        QStringList names = results();
        names.sort();
        return names;
    };
    QCOMPARE(found(), (QStringList{"zeta one", "zeta three", "zeta two"}));

    // Renamed in place, as F2 does.
    search()->clear();
    items()->model()->setData(items()->model()->index(0, 0), "omega one");
    QCOMPARE(found(), (QStringList{"zeta three", "zeta two"}));

    // Added by a drop.
    QFile file(m_dir->path("zeta four.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    emit items()->dropIn({QUrl::fromLocalFile(file.fileName())});
    QTRY_COMPARE(found(), (QStringList{"zeta four", "zeta three", "zeta two"}));

    // The group holding "zeta two" cleared, the type holding "zeta three" deleted.
    m_window->findChild<GroupsListView *>()->setCurrentIndex(
        m_window->findChild<GroupsListView *>()->model()->index(1, 0));
    ModalAnswers answers;
    answers.press(QMessageBox::Yes).press(QMessageBox::Yes);
    m_window->data_groupsClear();
    m_window->findChild<TypesListView *>()->setCurrentIndex(
        m_window->findChild<TypesListView *>()->model()->index(1, 0));
    m_window->data_typesDelete();
    QCOMPARE(found(), QStringList{"zeta four"});

    // Written by a second instance, through a connection of its own.
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) VALUES "
                    "(9, 'zeta nine', 3, 'true', 10, 1)");
    QCOMPARE(found(), (QStringList{"zeta four", "zeta nine"}));
}

void TestSearch::shouldKeepOldSearchWhenInstantIsOff()
{
    SettingsControl::instance().setInstantSearch(false);
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, GroupsID, TypesID) VALUES "
                    "(1, 'Code Runner', 3, 'true', 10, 1), (2, 'code', 3, 'true', 10, 1)");
    open();
    QVERIFY(!search()->hasFocus() || search()->selectedText().isEmpty());
    QTest::keyClicks(search(), "code");
    QCOMPARE(page(), 0);
    QTest::keyClick(search(), Qt::Key_Return);
    QCOMPARE(page(), 1);
    // Storage order, and no pinyin.
    QCOMPARE(results(), (QStringList{"Code Runner", "code"}));
    QCOMPARE(Catalogue::value("SELECT SUM(RunCount) FROM Items"), QStringLiteral("0"));

    // Switched on, the text in the box is ranked at once.
    SettingsControl::instance().setInstantSearch(true);
    QCOMPARE(results(), (QStringList{"code", "Code Runner"}));
}

QUIVER_TEST_MAIN(TestSearch)
#include "tst_search.moc"
