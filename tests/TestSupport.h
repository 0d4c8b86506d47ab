#pragma once

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <easylogging++.h>

#include <sys/stat.h>

// An icon as a view draws it, to compare by its pixels.
inline QImage picture(const QIcon &icon, int size = 32)
{
    return icon.pixmap(size, size).toImage();
}

inline QImage picture(const QVariant &decoration, int size = 32)
{
    return picture(decoration.value<QIcon>(), size);
}

// Today's lines of the program's log in the install tree at root ("<root>/cache/log").
inline QStringList logLines(const QString &root)
{
    QFile file(
        QDir(root).filePath(QStringLiteral("cache/log/%1.log")
                                .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")))));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A fresh install-like tree per test: the working directory is <tmp>/bin, so the program's
// "../data", "../cache" and "../skins" land inside the temporary tree.
class TestWorkDir
{
    Q_DISABLE_COPY_MOVE(TestWorkDir)

public:
    TestWorkDir()
        : m_previous(QDir::currentPath())
    {
        QDir(m_root.path()).mkpath(QStringLiteral("bin"));
        QDir::setCurrent(m_root.filePath(QStringLiteral("bin")));
    }
    ~TestWorkDir() { QDir::setCurrent(m_previous); }

    bool isValid() const { return m_root.isValid(); }
    // A path below the root, such as "data/data.db".
    QString path(const QString &relative) const { return m_root.filePath(relative); }
    QStringList logLines() const { return ::logLines(m_root.path()); }
    bool write(const QString &relative, const QByteArray &bytes) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

private:
    QTemporaryDir m_root;
    QString m_previous;
};

// Sets environment variables for its own life and then puts back what was there, unset ones
// included.
class EnvironmentGuard
{
    Q_DISABLE_COPY_MOVE(EnvironmentGuard)

public:
    EnvironmentGuard() = default;
    ~EnvironmentGuard()
    {
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
            if (it.value().isNull())
                qunsetenv(it.key().constData());
            else
                qputenv(it.key().constData(), it.value());
        }
    }

    // An empty value unsets the variable.
    void set(const QByteArray &name, const QByteArray &value)
    {
        if (!m_saved.contains(name))
            m_saved.insert(name, qEnvironmentVariableIsSet(name.constData())
                                     ? qgetenv(name.constData())
                                     : QByteArray());
        if (value.isEmpty())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }

private:
    QHash<QByteArray, QByteArray> m_saved;
};

// Collects the messages the program logs, so tests can assert on them without reading files.
class LogCapture final : public el::LogDispatchCallback
{
public:
    static LogCapture &install()
    {
        el::Helpers::installLogDispatchCallback<LogCapture>("capture");
        LogCapture *capture = el::Helpers::logDispatchCallback<LogCapture>("capture");
        capture->clear();
        return *capture;
    }

    void clear()
    {
        m_lines.clear();
        m_levels.clear();
    }
    const QStringList &lines() const { return m_lines; }
    QStringList errors() const
    {
        QStringList errors;
        for (int i = 0; i < m_lines.size(); ++i)
            if (m_levels.at(i) == el::Level::Error)
                errors << m_lines.at(i);
        return errors;
    }

protected:
    void handle(const el::LogDispatchData *data) override
    {
        m_lines << QString::fromStdString(data->logMessage()->message());
        m_levels << data->logMessage()->level();
    }

private:
    QStringList m_lines;
    QList<el::Level> m_levels;
};

// A file's permission bits (0600), -1 for no file.
inline int fileMode(const QString &path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777)
                                                                     : -1;
}

// Whether the condition still holds once ms milliseconds have passed, events processed
// meanwhile: for what must NOT happen (or be undone) within that time, where nothing marks the
// moment it no longer could.
template<typename Condition>
bool stillAfter(int ms, Condition condition)
{
    QTest::qWait(ms);
    return condition();
}

// Waits until read() has given the same value for quietMs: for what another process settles
// without a sign that it has, such as where the window manager leaves a new window.
template<typename Read>
bool waitUntilSteady(Read read, int quietMs, int timeoutMs = 10000)
{
    auto last = read();
    QElapsedTimer unchanged;
    unchanged.start();
    return QTest::qWaitFor(
        [&] {
            auto now = read();
            if (now != last) {
                last = now;
                unchanged.restart();
            }
            return unchanged.elapsed() >= quietMs;
        },
        timeoutMs);
}

// Pins what a test may not take from the machine: locale, user folders, the display.
inline void prepareTestEnvironment()
{
    qputenv("LANG", "C.UTF-8");
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
}

// Keeps the program's log lines out of the test output unless a test configures the log.
inline void silenceLog()
{
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToFile, "false");
}

#define QUIVER_TEST_MAIN(TestObject) \
    int main(int argc, char **argv) \
    { \
        prepareTestEnvironment(); \
        QApplication app(argc, argv); \
        app.setApplicationVersion(QStringLiteral(QUIVER_VERSION)); \
        silenceLog(); \
        TestObject tc; \
        QTEST_SET_MAIN_SOURCE_PATH \
        return QTest::qExec(&tc, argc, argv); \
    }
