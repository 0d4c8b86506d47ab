// The providers together: their switches in the settings file, the ranking beside the
// catalogue's results, and the calculator and system actions, which need no desktop to answer.
#include "Actions/ActionProviders.h"
#include "Actions/Calculator.h"
#include "Core/SettingsControl.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QGuiApplication>

#include "Desktop/GLibSupport.h"

Q_DECLARE_METATYPE(MatchBand)
Q_DECLARE_METATYPE(ActionRow)

class TestActionProviders : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void shouldMergeWithTheCatalogueByBand_data();
    void shouldMergeWithTheCatalogueByBand();
    void shouldCalculate_data();
    void shouldCalculate();
    void shouldCopyTheResult();
    void shouldFindSystemActionsByPinyin_data();
    void shouldFindSystemActionsByPinyin();
    void shouldRankRecentDocumentsBelowOtherRows();
    void shouldKeepEachKindSwitchedAsStored();

private:
    QString settingsFile() const { return m_dir->filePath(QStringLiteral("config.ini")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    EnvironmentGuard *m_environment = nullptr;
};

void TestActionProviders::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_environment = new EnvironmentGuard;
    m_environment->set("XDG_DATA_HOME", m_dir->path().toLocal8Bit());
}

void TestActionProviders::cleanup()
{
    delete m_environment;
    m_environment = nullptr;
    m_dir.reset();
}

void TestActionProviders::shouldMergeWithTheCatalogueByBand_data()
{
    QTest::addColumn<QVector<MatchBand>>("catalogue");
    QTest::addColumn<QVector<ActionRow>>("rows");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("merged");

    const auto row = [](MatchBand band, ActionPlacement placement) {
        ActionRow row;
        row.band = band;
        row.placement = placement;
        return row;
    };
    using B = MatchBand;
    using P = ActionPlacement;
    QTest::newRow("a leading row before an exact name")
        << QVector<B>{B::ExactName, B::Fuzzy} << QVector<ActionRow>{row(B::ExactName, P::Lead)}
        << 100 << "a0 c0 c1";
    QTest::newRow("the catalogue first within a band")
        << QVector<B>{B::NamePrefix, B::NamePrefix}
        << QVector<ActionRow>{row(B::NamePrefix, P::WithCatalogue)} << 100 << "c0 c1 a0";
    QTest::newRow("a better band first, whichever list")
        << QVector<B>{B::Initials, B::Note}
        << QVector<ActionRow>{row(B::ExactName, P::WithCatalogue),
                              row(B::NamePinyin, P::WithCatalogue)}
        << 100 << "a0 c0 a1 c1";
    QTest::newRow("after the catalogue, however good the band")
        << QVector<B>{B::Fuzzy}
        << QVector<ActionRow>{row(B::Initials, P::WithCatalogue),
                              row(B::ExactName, P::AfterCatalogue)}
        << 100 << "a0 c0 a1";
    QTest::newRow("rows alone") << QVector<B>{}
                                << QVector<ActionRow>{row(B::ExactName, P::Lead),
                                                      row(B::Note, P::AfterCatalogue)}
                                << 100 << "a0 a1";
    QTest::newRow("cut at the limit")
        << QVector<B>{B::ExactName, B::ExactName, B::ExactName}
        << QVector<ActionRow>{row(B::ExactName, P::WithCatalogue)} << 2 << "c0 c1";
}

void TestActionProviders::shouldMergeWithTheCatalogueByBand()
{
    QFETCH(QVector<MatchBand>, catalogue);
    QFETCH(QVector<ActionRow>, rows);
    QFETCH(int, limit);
    QFETCH(QString, merged);
    QStringList order;
    for (const ActionProviders::Merged &entry : ActionProviders::merge(catalogue, rows, limit))
        order << QStringLiteral("%1%2").arg(entry.isAction ? 'a' : 'c').arg(entry.index);
    QCOMPARE(order.join(QLatin1Char(' ')), merged);
}

void TestActionProviders::shouldCalculate_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("title");

    QTest::newRow("brackets") << "12*(3+4)"
                              << "= 84";
    QTest::newRow("power") << "2^10"
                           << "= 1024";
    QTest::newRow("function") << "sqrt(2)"
                              << "= 1.4142135623731";
    QTest::newRow("remainder") << "10%3"
                               << "= 1";
    QTest::newRow("fraction") << "1/3"
                              << "= 0.333333333333333";
    QTest::newRow("exponent") << "1e3/7"
                              << "= 142.857142857143";
    QTest::newRow("binary noise rounded away") << "0.1+0.2"
                                               << "= 0.3";
    QTest::newRow("no negative zero") << "-0*1"
                                      << "= 0";
    QTest::newRow("spaces") << " 3 + 4 "
                            << "= 7";
    QTest::newRow("full-width and capitals") << "ＳＱＲＴ（１６）"
                                             << "= 4";
    QTest::newRow("times and divided by signs") << "6×7÷2"
                                                << "= 21";
    QTest::newRow("constant") << "2*pi"
                              << "= 6.28318530717959";
    QTest::newRow("large") << "2^60"
                           << "= 1.15292150460685e+18";
    // No row at all for these, and no error either.
    QTest::newRow("open bracket") << "12*("
                                  << "";
    QTest::newRow("trailing operator") << "2+"
                                       << "";
    QTest::newRow("division by zero") << "1/0"
                                      << "";
    QTest::newRow("remainder by zero") << "10%0"
                                       << "";
    QTest::newRow("overflow") << "10^400"
                              << "";
    QTest::newRow("not a number") << "0/0"
                                  << "";
    QTest::newRow("a number alone") << "2048"
                                    << "";
    QTest::newRow("a signed number alone") << "-5"
                                           << "";
    QTest::newRow("an exponent alone") << "1e-3"
                                       << "";
    QTest::newRow("a constant alone") << "e"
                                      << "";
    QTest::newRow("a name with a dash") << "7-Zip"
                                        << "";
    QTest::newRow("two expressions") << "1,2"
                                     << "";
    QTest::newRow("a word") << "weixin"
                            << "";
}

void TestActionProviders::shouldCalculate()
{
    QFETCH(QString, typed);
    QFETCH(QString, title);
    SettingsControl settings(settingsFile());
    ActionProviders providers(settings);
    QVector<ActionRow> rows;
    for (const ActionRow &row : providers.query(typed))
        if (row.provider == QLatin1String("Calculator"))
            rows << row;
    QCOMPARE(rows.size(), title.isEmpty() ? 0 : 1);
    if (title.isEmpty())
        return;
    QCOMPARE(rows.first().title, title);
    // The result leads the best band: the first row of the results page.
    QCOMPARE(providers.query(typed).first().title, title);
    QCOMPARE(ActionProviders::merge({MatchBand::ExactName}, rows, 10).first().isAction, true);
}

void TestActionProviders::shouldCopyTheResult()
{
    SettingsControl settings(settingsFile());
    ActionProviders providers(settings);
    const ActionRow row = providers.query(QStringLiteral("12*(3+4)")).value(0);
    const ActionOutcome outcome = providers.run(row, {});
    QCOMPARE(outcome.status, ActionOutcome::Status::Done);
    QCOMPARE(outcome.notice, QStringLiteral("已复制: 84"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("84"));
}

void TestActionProviders::shouldFindSystemActionsByPinyin_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("first");

    QTest::newRow("initials") << "sp"
                              << "锁屏";
    QTest::newRow("syllables") << "suoping"
                               << "锁屏";
    QTest::newRow("characters") << "注销"
                                << "注销";
    QTest::newRow("initials of a polyphone") << "cq"
                                             << "重启";
    QTest::newRow("partial pinyin") << "guanj"
                                    << "关机";
    QTest::newRow("another name") << "shutdown"
                                  << "关机";
    QTest::newRow("another name, capitals") << "Reboot"
                                            << "重启";
    QTest::newRow("sleep") << "shuim"
                           << "睡眠";
    QTest::newRow("nothing of the kind") << "qwerty"
                                         << "";
}

void TestActionProviders::shouldFindSystemActionsByPinyin()
{
    QFETCH(QString, typed);
    QFETCH(QString, first);
    SettingsControl settings(settingsFile());
    ActionProviders providers(settings);
    QStringList found;
    for (const ActionRow &row : providers.query(typed))
        if (row.provider == QLatin1String("SystemActions"))
            found << row.title;
    QCOMPARE(found.value(0), first);
}

void TestActionProviders::shouldRankRecentDocumentsBelowOtherRows()
{
    // A recent document whose name matches better than the system action still comes after it.
    const QString document = m_dir->filePath(QStringLiteral("sp"));
    QFile(document).open(QIODevice::WriteOnly);
    GBookmarkFile *bookmarks = g_bookmark_file_new();
    const QByteArray uri = QUrl::fromLocalFile(document).toEncoded();
    g_bookmark_file_set_mime_type(bookmarks, uri.constData(), "text/plain");
    g_bookmark_file_add_application(bookmarks, uri.constData(), "gedit", "gedit %u");
    QVERIFY(g_bookmark_file_to_file(
        bookmarks,
        QFile::encodeName(m_dir->filePath(QStringLiteral("recently-used.xbel"))).constData(),
        nullptr));
    g_bookmark_file_free(bookmarks);

    SettingsControl settings(settingsFile());
    ActionProviders providers(settings);
    // The list is read off the GUI thread; the key after it finds it.
    providers.query(QStringLiteral("sp"));
    QTRY_VERIFY(!providers.isReading());
    QStringList order;
    for (const ActionRow &row : providers.query(QStringLiteral("sp")))
        order << row.provider + QLatin1Char(':') + row.title;
    // 睡眠 by its other name "suspend", in the note's band.
    QCOMPARE(order,
             (QStringList{"SystemActions:锁屏", "SystemActions:睡眠", "RecentDocuments:sp"}));
}

void TestActionProviders::shouldKeepEachKindSwitchedAsStored()
{
    {
        SettingsControl settings(settingsFile());
        ActionProviders providers(settings);
        // Every kind is on until switched off.
        for (const ActionProvider *provider : providers.providers())
            QVERIFY2(providers.isEnabled(provider->key()), qPrintable(provider->key()));
        QCOMPARE(providers.providers().size(), 6);
        const ActionRow lock = providers.query(QStringLiteral("sp")).value(0);
        QVERIFY(providers.setEnabled(QStringLiteral("Calculator"), false));
        QVERIFY(providers.setEnabled(QStringLiteral("SystemActions"), false));
        QVERIFY(providers.query(QStringLiteral("1+1")).isEmpty());
        QVERIFY(providers.query(QStringLiteral("sp")).isEmpty());
        // A row shown before the switch no longer runs.
        QCOMPARE(providers.run(lock, {}).status, ActionOutcome::Status::Refused);
        QVERIFY(!providers.setEnabled(QStringLiteral("NoSuchKind"), false));
    }
    QSettings file(settingsFile(), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("Search/Calculator")).toBool(), false);
    QCOMPARE(file.value(QStringLiteral("Search/SystemActions")).toBool(), false);
    SettingsControl settings(settingsFile());
    ActionProviders providers(settings);
    QVERIFY(!providers.isEnabled(QStringLiteral("Calculator")));
    QVERIFY(providers.isEnabled(QStringLiteral("WebKeywords")));
    QVERIFY(providers.query(QStringLiteral("1+1")).isEmpty());
    QVERIFY(providers.setEnabled(QStringLiteral("Calculator"), true));
    QCOMPARE(providers.query(QStringLiteral("1+1")).value(0).title, QStringLiteral("= 2"));
}

QUIVER_TEST_MAIN(TestActionProviders)

#include "tst_actionproviders.moc"
