#include "CatalogueSupport.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Settings/Form_Settings.h"
#include "LocalHttpServer.h"
#include "Core/SettingsControl.h"
#include "TestSupport.h"
#include "Update/UpdateNotice.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <memory>

// The update check against a service on 127.0.0.1, over TLS with a certificate the test
// process trusts, answered over a window of its own as the main window answers it.
class TestUpdate : public QObject
{
    Q_OBJECT

public slots:
    void openedUrl(const QUrl &url) { m_opened << url; }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void shouldTellManualCheckOnlyThatItIsCurrent();
    void shouldOfferAnyOtherVersion_data();
    void shouldOfferAnyOtherVersion();
    void shouldReportUnusableReplies_data();
    void shouldReportUnusableReplies();
    void shouldSkipAutomaticCheckWithoutService();
    void shouldRefuseServiceWithoutHttps();
    void shouldOpenOnlyWebLinks_data();
    void shouldOpenOnlyWebLinks();

private:
    // Answers the update question with the button of that text, recording the box's text.
    void answerQuestion(const QString &button);
    void serve(const QByteArray &reply);

    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<QWidget> m_window;
    QPushButton m_checkButton;
    QList<QUrl> m_opened;
    QString m_question;
    QStringList m_buttons;
};

void TestUpdate::initTestCase()
{
    m_dir = std::make_unique<TestWorkDir>();
    m_server = std::make_unique<LocalHttpServer>(LocalHttpServer::Transport::Tls);
    for (const char *scheme : {"http", "https", "file"})
        QDesktopServices::setUrlHandler(scheme, this, "openedUrl");
    m_checkButton.setObjectName("pushButton_checkUpdate");
    connect(&m_checkButton, &QPushButton::clicked, &SettingsControl::instance(),
            &SettingsControl::checkUpdate);
}

void TestUpdate::cleanupTestCase()
{
    for (const char *scheme : {"http", "https", "file"})
        QDesktopServices::unsetUrlHandler(scheme);
}

void TestUpdate::init()
{
    SettingsControl::instance().setAutoUpdate(false);
    SettingsControl::instance().setUpdateHost(m_server->url().toString());
    m_window = std::make_unique<QWidget>();
    connect(&SettingsControl::instance(), &SettingsControl::updateFinished, m_window.get(),
            [this](const QByteArray &reply) {
                UpdateNotice::show(m_window.get(), reply, [] {
                    return SettingsControl::instance().takeManualUpdateCheck();
                });
            });
    m_opened.clear();
    m_question.clear();
    m_buttons.clear();
}

void TestUpdate::cleanup()
{
    m_window.reset();
    Notices::clear();
}

void TestUpdate::serve(const QByteArray &reply)
{
    m_server->setAnswer("/quiver/update.html", {"200 OK", reply, {}});
}

void TestUpdate::answerQuestion(const QString &button)
{
    // The request runs its own event loop first, so wait for the box to be up.
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll, button] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->deleteLater();
        m_question = box->windowTitle() + "|" + box->text();
        for (QAbstractButton *each : box->buttons())
            m_buttons << each->text();
        box->findChild<QAbstractButton *>(button)->click();
    });
    poll->start(20);
}

void TestUpdate::shouldTellManualCheckOnlyThatItIsCurrent()
{
    serve(R"({"version":"2.1.3.0","body":"same"})");
    LogCapture &log = LogCapture::install();
    SettingsControl::instance().checkUpdate();
    QVERIFY(Notices::shown().isEmpty());
    QVERIFY(log.lines().contains("已是最新版本"));

    m_checkButton.click();
    QCOMPARE(Notices::shown(), QStringList{"已是最新版本"});
    // The flag was taken: the next automatic check is silent again.
    Notices::clear();
    SettingsControl::instance().checkUpdate();
    QVERIFY(Notices::shown().isEmpty());
}

void TestUpdate::shouldOfferAnyOtherVersion_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("text");
    QTest::newRow("higher") << QByteArray(R"({"version":"2.2.0.0","body":"新功能\n修复"})")
                            << "v2.2.0.0\n新功能\n修复";
    QTest::newRow("lower") << QByteArray(R"({"version":"1.0","body":"old"})") << "v1.0\nold";
    QTest::newRow("no version") << QByteArray(R"({"body":"notes"})") << "v\nnotes";
}

void TestUpdate::shouldOfferAnyOtherVersion()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, text);
    serve(reply.left(reply.size() - 1) +
          R"(,"download_url":"https://example.org/get","body_url":"https://example.org/notes"})");
    answerQuestion("buttonDownload");
    SettingsControl::instance().checkUpdate();
    QCOMPARE(m_question, "有新的更新可用！|" + text);
    QCOMPARE(m_buttons, (QStringList{"下载", "更新详情", "取消"}));
    QCOMPARE(m_opened, QList<QUrl>{QUrl("https://example.org/get")});

    answerQuestion("buttonUpdateDetails");
    SettingsControl::instance().checkUpdate();
    QCOMPARE(m_opened.last(), QUrl("https://example.org/notes"));
    answerQuestion("buttonCancelUpdate");
    SettingsControl::instance().checkUpdate();
    QCOMPARE(m_opened.size(), 2);
}

void TestUpdate::shouldReportUnusableReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("html") << QByteArray("<html>502 Bad Gateway</html>");
    QTest::newRow("array") << QByteArray("[1,2]");
    QTest::newRow("empty") << QByteArray();
}

void TestUpdate::shouldReportUnusableReplies()
{
    QFETCH(QByteArray, reply);
    serve(reply);
    LogCapture &log = LogCapture::install();
    SettingsControl::instance().checkUpdate();
    QCOMPARE(Notices::shown(), QStringList{"连接更新服务器失败！"});
    QVERIFY(log.lines().contains("请求更新失败 Error:" + QString::fromUtf8(reply)));
}

void TestUpdate::shouldSkipAutomaticCheckWithoutService()
{
    m_window.reset();
    SettingsControl &settings = SettingsControl::instance();
    settings.setUpdateHost(QString());
    settings.setAutoUpdate(true);
    if (!settings.updateUrl().isEmpty())
        QSKIP("this build names an update host");
    LogCapture &log = LogCapture::install();
    const Program program;
    QVERIFY(log.lines().contains("未配置更新服务器, 跳过自动检查更新"));
    QVERIFY(Notices::shown().isEmpty());
    // Asked by hand, the missing service is a failure to connect.
    m_checkButton.click();
    QCOMPARE(Notices::shown(), QStringList{"连接更新服务器失败！"});

    // The settings window offers neither check, and says why; with a service, both.
    for (const bool served : {false, true}) {
        if (served)
            settings.setUpdateHost(m_server->url().toString());
        Form_Settings window;
        auto *automatic = window.findChild<QCheckBox *>("checkBox_autoUpdate");
        QCOMPARE(automatic->isEnabled(), served);
        QCOMPARE(automatic->isChecked(), served);
        QCOMPARE(window.findChild<QPushButton *>("pushButton_checkUpdate")->isEnabled(), served);
        QCOMPARE(window.findChild<QLabel *>("label_11")->text(),
                 served ? QString() : QStringLiteral("未配置更新服务器，无法检查更新"));
    }
}

void TestUpdate::shouldRefuseServiceWithoutHttps()
{
    // The reply names what the user is offered to download: never over a connection anyone on
    // the way can rewrite.
    LocalHttpServer plain;
    plain.setAnswer("/quiver/update.html", {"200 OK", R"({"version":"9.0"})", {}});
    SettingsControl::instance().setUpdateHost(plain.url().toString());
    LogCapture &log = LogCapture::install();
    m_checkButton.click();
    QCOMPARE(Notices::shown(), QStringList{"连接更新服务器失败！"});
    QVERIFY(plain.requests().isEmpty());
    QVERIFY(!log.lines().filter("更新服务器不是https地址").isEmpty());
}

void TestUpdate::shouldOpenOnlyWebLinks_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << "https://example.org/get" << true;
    QTest::newRow("http") << "http://example.org/get" << true;
    QTest::newRow("local file") << "file:///etc/passwd" << false;
    QTest::newRow("script") << "javascript:alert(1)" << false;
    QTest::newRow("program") << "/usr/bin/xterm" << false;
}

void TestUpdate::shouldOpenOnlyWebLinks()
{
    QFETCH(QString, link);
    QFETCH(bool, opened);
    serve(QStringLiteral(R"({"version":"9.0","download_url":"%1","body_url":"%1"})")
              .arg(link)
              .toUtf8());
    for (const char *button : {"buttonDownload", "buttonUpdateDetails"}) {
        answerQuestion(QString::fromUtf8(button));
        SettingsControl::instance().checkUpdate();
    }
    QCOMPARE(m_opened.size(), opened ? 2 : 0);
}

QUIVER_TEST_MAIN(TestUpdate)
#include "tst_update.moc"
