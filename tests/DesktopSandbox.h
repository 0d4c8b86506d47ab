#pragma once

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

// A desktop of the test's own: the XDG folders point into a temporary tree, so documents,
// folders and addresses open through GIO for real, but only with the handler applications
// the test adds, and never with the machine's own. The MIME database is the system's.
// GIO takes the folders from the environment when it first needs them and watches them from
// then on, with some delay: make the sandbox and add every handler before anything is opened.
class DesktopSandbox
{
    Q_DISABLE_COPY_MOVE(DesktopSandbox)

public:
    DesktopSandbox()
    {
        QDir root(m_root.path());
        for (const char *folder : {"data/applications", "share", "config", "etc", "handlers"})
            root.mkpath(QString::fromLatin1(folder));
        QFile::link(QStringLiteral("/usr/share/mime"), root.filePath(QStringLiteral("share/mime")));
        qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("data")).toLocal8Bit());
        qputenv("XDG_DATA_DIRS", root.filePath(QStringLiteral("share")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", root.filePath(QStringLiteral("etc")).toLocal8Bit());
        qunsetenv("XDG_CURRENT_DESKTOP");
    }

    QString path(const QString &relative) const { return m_root.filePath(relative); }

    // A file of the sandbox, its folders made as needed.
    void write(const QString &relative, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile out(path(relative));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

    // An icon of one colour in the "hicolor" theme of the system data folder, at size pixels.
    void addThemeIcon(const QString &name, Qt::GlobalColor color, int size)
    {
        if (!QFile::exists(path("share/icons/hicolor/index.theme")))
            write("share/icons/hicolor/index.theme",
                  "[Icon Theme]\nName=Hicolor\nDirectories=16x16/apps,48x48/apps\n\n"
                  "[16x16/apps]\nSize=16\nType=Fixed\n\n[48x48/apps]\nSize=48\nType=Fixed\n");
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(color);
        const QString file =
            path(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(name));
        QDir().mkpath(QFileInfo(file).path());
        QVERIFY(image.save(file));
    }

    // An application "quiver-test-<name>" that is the default for the given MIME types
    // (x-scheme-handler/<scheme> for addresses). Every start appends its arguments as one
    // line to what opened(name) reads, and leaves what startedApart(name) reads. keys: more
    // lines of its entry ("Terminal=true\n").
    void
    addHandler(const QString &name, const QStringList &mimeTypes, const QString &keys = QString())
    {
        const QString script = path(QStringLiteral("handlers/%1.sh").arg(name));
        writeText(script,
                  QStringLiteral("#!/bin/sh\necho \"$@\" >> %1\n"
                                 "read -r id n s p group session rest < /proc/$$/stat\n"
                                 "echo \"$id $group $session\" > %2\n")
                      .arg(output(name), path(QStringLiteral("handlers/%1.session").arg(name))));
        QFile::setPermissions(script, QFile::permissions(script) | QFile::ExeOwner);
        const QString id = QStringLiteral("quiver-test-%1.desktop").arg(name);
        writeText(path(QStringLiteral("data/applications/") + id),
                  QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2 %u\n"
                                 "MimeType=%3;\n")
                          .arg(name, script, mimeTypes.join(QLatin1Char(';'))) +
                      keys);
        QString defaults;
        for (const QString &type : mimeTypes)
            defaults += type + QLatin1Char('=') + id + QLatin1Char('\n');
        append(path(QStringLiteral("config/mimeapps.list")), defaults);
    }

    // The file each handler's or marker program's output goes to.
    QString output(const QString &name) const
    {
        return path(QStringLiteral("handlers/%1.out").arg(name));
    }

    // The argument lines the handler was started with, oldest first.
    QStringList opened(const QString &name) const
    {
        QFile file(output(name));
        if (!file.open(QIODevice::ReadOnly))
            return QStringList();
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Whether the handler's last start led a session and a process group of its own: not the
    // launcher's, whose terminal's Ctrl+C and hang-up would end it.
    bool startedApart(const QString &name) const
    {
        QFile file(path(QStringLiteral("handlers/%1.session").arg(name)));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QList<QByteArray> ids = file.readAll().trimmed().split(' ');
        return ids.size() == 3 && ids.at(0) == ids.at(1) && ids.at(0) == ids.at(2);
    }

    void clear()
    {
        for (const QString &out :
             QDir(path(QStringLiteral("handlers")))
                 .entryList({QStringLiteral("*.out"), QStringLiteral("*.session")}, QDir::Files))
            QFile::remove(path(QStringLiteral("handlers/") + out));
    }

private:
    static void writeText(const QString &file, const QString &text)
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text.toUtf8());
    }

    static void append(const QString &file, const QString &text)
    {
        const bool fresh = !QFile::exists(file);
        QFile out(file);
        QVERIFY(out.open(QIODevice::Append));
        if (fresh)
            out.write("[Default Applications]\n");
        out.write(text.toUtf8());
    }

    QTemporaryDir m_root;
};
