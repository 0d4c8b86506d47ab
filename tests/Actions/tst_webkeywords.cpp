// Web searches by keyword: the rows, the addresses as the desktop's handler of https receives
// them (a marker application of a sandboxed desktop), and the keyword table in the settings
// file, which no bad input may cost the user.
#include "DesktopSandbox.h"
#include "Core/SettingsControl.h"
#include "TestSupport.h"
#include "Actions/WebKeywords.h"

#include <QFutureWatcher>

class TestWebKeywords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void shouldSearchTheWebForAKeyword_data();
    void shouldSearchTheWebForAKeyword();
    void shouldKeepAStoredTable();
    void shouldRefuseABadTableWhole_data();
    void shouldRefuseABadTableWhole();
    void shouldFallBackFromABrokenStoredTable_data();
    void shouldFallBackFromABrokenStoredTable();

private:
    QString settingsFile() const { return m_work->path(QStringLiteral("config.ini")); }

    std::unique_ptr<DesktopSandbox> m_desktop;
    std::unique_ptr<TestWorkDir> m_work;
};

void TestWebKeywords::initTestCase()
{
    m_desktop = std::make_unique<DesktopSandbox>();
    m_desktop->addHandler(QStringLiteral("web"), {QStringLiteral("x-scheme-handler/http"),
                                                  QStringLiteral("x-scheme-handler/https")});
}

void TestWebKeywords::init()
{
    m_work = std::make_unique<TestWorkDir>();
    m_desktop->clear();
}

void TestWebKeywords::shouldSearchTheWebForAKeyword_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("opened");

    QTest::newRow("Chinese") << "bd 天气"
                             << "在百度中搜索: 天气"
                             << "https://www.baidu.com/s?wd=%E5%A4%A9%E6%B0%94";
    QTest::newRow("capitals and more spaces")
        << "BD   天气 预报 "
        << "在百度中搜索: 天气 预报"
        << "https://www.baidu.com/s?wd=%E5%A4%A9%E6%B0%94%20%E9%A2%84%E6%8A%A5";
    QTest::newRow("query delimiters")
        << "gg c++ a&b=1 #2"
        << "在Google中搜索: c++ a&b=1 #2"
        << "https://www.google.com/search?q=c%2B%2B%20a%26b%3D1%20%232";
    QTest::newRow("a percent sign") << "zh 50% off"
                                    << "在知乎中搜索: 50% off"
                                    << "https://www.zhihu.com/search?type=content&q=50%25%20off";
    // Never a shell: the text stays text.
    QTest::newRow("shell syntax")
        << "by $(touch pwned); `id` 'x'"
        << "在必应中搜索: $(touch pwned); `id` 'x'"
        << "https://cn.bing.com/search?q=%24%28touch%20pwned%29%3B%20%60id%60%20%27x%27";
    QTest::newRow("the keyword alone") << "bd"
                                       << ""
                                       << "";
    QTest::newRow("the keyword and a space") << "bd "
                                             << ""
                                             << "";
    QTest::newRow("an unknown keyword") << "xx 天气"
                                        << ""
                                        << "";
    QTest::newRow("a keyword inside a word") << "bdx 天气"
                                             << ""
                                             << "";
    QTest::newRow("the text first") << "天气 bd"
                                    << ""
                                    << "";
}

void TestWebKeywords::shouldSearchTheWebForAKeyword()
{
    QFETCH(QString, typed);
    QFETCH(QString, title);
    QFETCH(QString, opened);
    SettingsControl settings(settingsFile());
    WebKeywords keywords(settings);
    const QVector<ActionRow> rows = keywords.query(SearchQuery(typed), typed);
    QCOMPARE(rows.size(), title.isEmpty() ? 0 : 1);
    if (title.isEmpty())
        return;
    QCOMPARE(rows.first().title, title);
    const ActionOutcome outcome = keywords.run(rows.first(), {});
    QCOMPARE(outcome.status, ActionOutcome::Status::Pending);
    QTRY_VERIFY(outcome.pending->isFinished());
    QVERIFY(outcome.pending->result());
    QTRY_COMPARE(m_desktop->opened(QStringLiteral("web")), QStringList{opened});
    QVERIFY(!QFile::exists(m_work->path(QStringLiteral("bin/pwned"))));
}

void TestWebKeywords::shouldKeepAStoredTable()
{
    const QVector<WebKeywords::Keyword> table{
        {QStringLiteral("dd"), QStringLiteral("豆瓣"),
         QStringLiteral("https://www.douban.com/search?q=%s")},
        {QStringLiteral("bd"), QStringLiteral("百度"),
         QStringLiteral("https://www.baidu.com/s?wd=%s")}};
    {
        SettingsControl settings(settingsFile());
        WebKeywords keywords(settings);
        QCOMPARE(keywords.table(), WebKeywords::defaults());
        QVERIFY(keywords.setTable(table));
        QCOMPARE(keywords.table(), table);
    }
    SettingsControl settings(settingsFile());
    WebKeywords keywords(settings);
    QCOMPARE(keywords.table(), table);
    QCOMPARE(keywords.query(SearchQuery("dd 书"), QStringLiteral("dd 书")).value(0).title,
             QStringLiteral("在豆瓣中搜索: 书"));
    // A keyword taken out of the table is gone.
    QVERIFY(keywords.query(SearchQuery("gg x"), QStringLiteral("gg x")).isEmpty());
}

void TestWebKeywords::shouldRefuseABadTableWhole_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("problem");

    QTest::newRow("no keyword") << ""
                                << "https://a.example/?q=%s"
                                << "关键字不能为空";
    QTest::newRow("two words") << "d d"
                               << "https://a.example/?q=%s"
                               << "关键字不能含空格: d d";
    QTest::newRow("used twice") << "GG"
                                << "https://a.example/?q=%s"
                                << "关键字重复: GG";
    QTest::newRow("no place for the text") << "a"
                                           << "https://a.example/"
                                           << "网址中缺少%s: a";
    QTest::newRow("a local file") << "a"
                                  << "file:///bin/sh?%s"
                                  << "网址无效: a";
    QTest::newRow("script") << "a"
                            << "javascript:alert(%s)"
                            << "网址无效: a";
    QTest::newRow("no host") << "a"
                             << "https:///?q=%s"
                             << "网址无效: a";
}

void TestWebKeywords::shouldRefuseABadTableWhole()
{
    QFETCH(QString, keyword);
    QFETCH(QString, address);
    QFETCH(QString, problem);
    const QVector<WebKeywords::Keyword> mine{
        {QStringLiteral("dd"), QStringLiteral("豆瓣"),
         QStringLiteral("https://www.douban.com/search?q=%s")}};
    SettingsControl settings(settingsFile());
    WebKeywords keywords(settings);
    QVERIFY(keywords.setTable(mine));
    const QByteArray stored = [this] {
        QFile file(settingsFile());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();

    QVector<WebKeywords::Keyword> bad = WebKeywords::defaults();
    bad << WebKeywords::Keyword{keyword, QStringLiteral("坏"), address};
    QCOMPARE(WebKeywords::problem(bad), problem);
    QVERIFY(!keywords.setTable(bad));
    QCOMPARE(keywords.table(), mine);
    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), stored);
}

void TestWebKeywords::shouldFallBackFromABrokenStoredTable_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<int>("logged");

    QTest::newRow("not JSON") << "[{\"keyword\":"
                              << QStringList{"bd", "by", "gg", "bili", "zh", "gh", "wiki"} << 1;
    QTest::newRow("not a list") << "{\"bd\":\"x\"}"
                                << QStringList{"bd", "by", "gg", "bili", "zh", "gh", "wiki"} << 1;
    // The good entries of a table edited by hand stay.
    QTest::newRow("one bad entry")
        << "[{\"keyword\":\"dd\",\"name\":\"豆瓣\",\"address\":\"https://www.douban.com/?q=%s\"},"
           "{\"keyword\":\"x\",\"address\":\"file:///%s\"},42,"
           "{\"keyword\":\"DD\",\"address\":\"https://a.example/?q=%s\"}]"
        << QStringList{"dd"} << 3;
    QTest::newRow("empty") << "[]" << QStringList{} << 0;
}

void TestWebKeywords::shouldFallBackFromABrokenStoredTable()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, keywords);
    QFETCH(int, logged);
    {
        QSettings file(settingsFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("Search/WebKeywordTable"), stored);
    }
    LogCapture &log = LogCapture::install();
    SettingsControl settings(settingsFile());
    WebKeywords table(settings);
    QStringList found;
    for (const WebKeywords::Keyword &entry : table.table())
        found << entry.keyword;
    QCOMPARE(found, keywords);
    QCOMPARE(log.lines().size(), logged);
    // Reading never writes: the user's text is there to be mended.
    QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat)
                 .value(QStringLiteral("Search/WebKeywordTable"))
                 .toString(),
             stored);
}

QUIVER_TEST_MAIN(TestWebKeywords)

#include "tst_webkeywords.moc"
