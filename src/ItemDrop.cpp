#include "ItemDrop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "DataControl.h"
#include "IconStore.h"
#include "KelPathEdit.h"
#include "SettingsControl.h"
#include "SiteIcon.h"
#include "WebPage.h"

#include <easylogging++.h>

namespace {
// The file name without its last suffix ("Obsidian-1.4.16.AppImage" is "Obsidian-1.4.16"),
// or the whole name where that leaves nothing (".config"); the root folder is "/".
QString nameOf(const QFileInfo &info)
{
    const QString name = info.completeBaseName();
    if (!name.isEmpty())
        return name;
    return info.fileName().isEmpty() ? info.filePath() : info.fileName();
}
} // namespace

ItemDrop::ItemDrop(QWidget *parent)
    : m_parent(parent)
{}

ItemDrop::Outcome ItemDrop::read(const QUrl &url, QVariantMap &record)
{
    record = {
        {QStringLiteral("Name"), QString()},      {QStringLiteral("Path"), QString()},
        {QStringLiteral("Note"), QString()},      {QStringLiteral("IconPath"), QString()},
        {QStringLiteral("Arguments"), QString()}, {QStringLiteral("WorkingDirectory"), QString()}};
    if (!url.isLocalFile()) {
        readWebLink(url, record);
        return Outcome::Record;
    }
    const Outcome outcome = readLocal(url.toLocalFile(), record);
    // A relative form of a web address would be a broken item; only local paths are turned.
    if (outcome == Outcome::Record && SettingsControl::instance().isUseRelativePath())
        record[QStringLiteral("Path")] = KelPathEdit::toRelativePath(
            record.value(QStringLiteral("Path")).toString(), QDir::currentPath());
    return outcome;
}

void ItemDrop::readWebLink(const QUrl &url, QVariantMap &record) const
{
    // One download serves the title, the description and the icon the page names.
    const WebPage page = WebPage::fetch(url);
    record[QStringLiteral("Type")] = 2;
    record[QStringLiteral("Name")] = page.title();
    record[QStringLiteral("Note")] = page.description();
    record[QStringLiteral("Path")] = url.toString();

    const QByteArray png = IconStore::toPng(SiteIcon::fetch(page));
    if (png.isEmpty())
        return;
    IconStore::add(png, url.host(QUrl::FullyDecoded), QStringLiteral("拖拽添加"));
    record[QStringLiteral("IconPath")] = DataControl::hashName(png);
}

ItemDrop::Outcome ItemDrop::readLocal(const QString &path, QVariantMap &record)
{
    // A folder dropped as "file:///home/me/Music/" has a trailing slash, and no file name.
    const QFileInfo info(QDir::cleanPath(path));
    const QString title = QCoreApplication::applicationName();
    if (info.isSymLink()) {
        if (!info.exists()) {
            const auto answer = QMessageBox::question(
                m_parent, title,
                QStringLiteral("快捷方式`%1` 源地址不存在\n还要继续添加吗").arg(info.fileName()),
                QMessageBox::Yes | QMessageBox::No);
            if (answer != QMessageBox::Yes)
                return Outcome::Stop;
        }
        if (m_shortcutAnswer != QMessageBox::YesToAll && m_shortcutAnswer != QMessageBox::NoToAll)
            m_shortcutAnswer = QMessageBox::question(
                m_parent, title, QStringLiteral("是否要以快捷方式添加"),
                QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll);
        // A link to a folder is a folder item either way; isDir() follows the link.
        record[QStringLiteral("Type")] = info.isDir() ? 1 : 0;
        record[QStringLiteral("Name")] = nameOf(info);
        const bool keepLink =
            m_shortcutAnswer == QMessageBox::Yes || m_shortcutAnswer == QMessageBox::YesToAll;
        record[QStringLiteral("Path")] = keepLink ? info.filePath() : info.symLinkTarget();
        return Outcome::Record;
    }
    if (info.isDir()) {
        record[QStringLiteral("Type")] = 1;
        record[QStringLiteral("Path")] = info.filePath();
        record[QStringLiteral("Name")] = nameOf(info);
        return Outcome::Record;
    }
    if (info.isFile()) {
        record[QStringLiteral("Type")] = 0;
        record[QStringLiteral("Path")] = info.absoluteFilePath();
        record[QStringLiteral("Name")] = nameOf(info);
        return Outcome::Record;
    }
    LOG(WARNING) << "item add skips " << path << ": no such file, folder or link";
    return Outcome::Skip;
}
