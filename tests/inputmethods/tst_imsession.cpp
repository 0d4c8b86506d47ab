// Typing pinyin through the session's real input method into a plain line edit: the harness's
// own proof that what a test types composes Chinese, the same way every time.

#include "InputMethodDriver.h"

#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

#include <X11/keysym.h>

#include <algorithm>
#include <memory>

namespace {

// What reaches the line edit: the input method's commits and preedit, and keys that got past it.
class Recorder : public QObject
{
public:
    QStringList commits;
    QString preedit;
    QList<int> keys;

    void clear()
    {
        commits.clear();
        preedit.clear();
        keys.clear();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::InputMethod) {
            const auto *im = static_cast<QInputMethodEvent *>(event);
            if (!im->commitString().isEmpty())
                commits << im->commitString();
            preedit = im->preeditString();
        } else if (event->type() == QEvent::KeyPress) {
            keys << static_cast<QKeyEvent *>(event)->key();
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestImSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString reason;
        if (InputMethodDriver::kind() == InputMethodDriver::Kind::NoSession)
            QSKIP("runs inside tests/inputmethods/im-session.sh");
        QVERIFY2(m_driver.connect(&reason), qPrintable(reason));
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));

        QElapsedTimer timer;
        timer.start();
        m_window = std::make_unique<QWidget>();
        m_window->setWindowTitle(QStringLiteral("imsession"));
        m_edit = new QLineEdit(m_window.get());
        auto *layout = new QVBoxLayout(m_window.get());
        layout->addWidget(m_edit);
        m_edit->installEventFilter(&m_recorder);
        m_window->resize(320, 80);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QVERIFY(m_driver.waitForKeyboardFocus(m_window->windowHandle()));
        m_edit->setFocus();
        QTRY_VERIFY(m_edit->hasFocus());
        // The input method acts on the window once its input context has the focus.
        QVERIFY(m_driver.waitForFocusedContext());
        qInfo("%s: window focused with an input context after %lld ms", qPrintable(m_driver.name()),
              timer.elapsed());
    }

    void commitsWeixin_data()
    {
        QTest::addColumn<int>("run");
        for (int run = 1; run <= 20; ++run)
            QTest::addRow("run %d", run) << run;
    }

    void commitsWeixin()
    {
        m_edit->clear();
        m_recorder.clear();
        QElapsedTimer timer;
        timer.start();
        if (!m_driver.isActive())
            QVERIFY(m_driver.setActive(true));
        QCOMPARE(m_driver.currentInputMethod(),
                 InputMethodDriver::kind() == InputMethodDriver::Kind::Fcitx5
                     ? QStringLiteral("pinyin")
                     : QStringLiteral("libpinyin"));

        QVERIFY(m_driver.type(QStringLiteral("weixin")));
        QVERIFY(m_driver.tap(XK_space));
        // Every key has been through the input method once the sync key arrives, so nothing
        // more will be committed: the text is final.
        QVERIFY(m_driver.sync());
        const qint64 elapsed = timer.elapsed();

        QCOMPARE(m_edit->text(), QStringLiteral("微信"));
        QCOMPARE(m_recorder.commits, QStringList{QStringLiteral("微信")});
        QVERIFY(m_recorder.preedit.isEmpty());
        // The input method took every key: none reached the line edit as a plain key.
        QCOMPARE(m_recorder.keys, QList<int>());
        m_times << elapsed;
    }

    void cleanup()
    {
        // A failed run may leave a composition open; Escape drops it before the next run.
        if (!m_recorder.preedit.isEmpty()) {
            m_driver.tap(XK_Escape);
            m_driver.sync();
        }
    }

    void cleanupTestCase()
    {
        if (m_times.isEmpty())
            return;
        std::sort(m_times.begin(), m_times.end());
        qInfo("%s: %d runs of weixin+Space, ms from switch to final text: min %lld, median %lld, "
              "max %lld",
              qPrintable(m_driver.name()), int(m_times.size()), m_times.first(),
              m_times.at(m_times.size() / 2), m_times.last());
    }

private:
    InputMethodDriver m_driver;
    Recorder m_recorder;
    std::unique_ptr<QWidget> m_window;
    QLineEdit *m_edit = nullptr;
    QVector<qint64> m_times;
};

QTEST_MAIN(TestImSession)
#include "tst_imsession.moc"
