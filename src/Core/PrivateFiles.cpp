#include "Core/PrivateFiles.h"

#include <QDir>
#include <QFileInfo>

#include <easylogging++.h>

namespace {
constexpr QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

bool isOpen(const QFileInfo &info)
{
    return info.permissions() & others;
}

// The owner keeps what the owner had: a folder made read-only stays read-only.
void close(const QFileInfo &info)
{
    if (!QFile::setPermissions(info.filePath(), info.permissions() & ~others))
        LOG(WARNING) << info.filePath() << " 无法设为仅本用户可用";
}
} // namespace

bool PrivateFiles::makeFolder(const QDir &base, const QString &path)
{
    QString below;
    for (const QString &part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        below += (below.isEmpty() ? QString() : QStringLiteral("/")) + part;
        const QString folder = base.filePath(below);
        const QFileInfo info(folder);
        if (!info.exists()) {
            if (!QDir().mkdir(folder))
                return false;
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            continue;
        }
        if (!info.isDir())
            return false;
        if (!isOpen(info))
            continue;
        // The files first: a closed folder is the mark that what it holds was closed too.
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden |
                                                               QDir::System | QDir::NoSymLinks);
        for (const QFileInfo &file : files)
            if (isOpen(file))
                close(file);
        close(info);
    }
    return true;
}

void PrivateFiles::restrict(const QString &file)
{
    const QFileInfo info(file);
    if (info.exists() && isOpen(info))
        close(info);
}
