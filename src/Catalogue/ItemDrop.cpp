#include "Catalogue/ItemDrop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "Desktop/DesktopEntry.h"
#include "Desktop/DesktopIcons.h"
#include "Icons/IconStore.h"
#include "KelMessageBox.h"
#include "KelPathEdit.h"
#include "Core/SettingsControl.h"
#include "Icons/SiteIcon.h"
#include "Icons/WebPage.h"

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
    if (outcome == Outcome::Record && record.value(QStringLiteral("Type")).toInt() != 2 &&
        SettingsControl::instance().isUseRelativePath())
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

    record[QStringLiteral("IconPath")] = IconStore::store(
        SiteIcon::fetch(page), url.host(QUrl::FullyDecoded), QStringLiteral("拖拽添加"));
}

ItemDrop::Outcome ItemDrop::readEntry(const QString &path, QVariantMap &record) const
{
    // The application may be new, and its icon with it; once per drop of many.
    if (!m_iconsRescanned) {
        DesktopIcons::rescan();
        m_iconsRescanned = true;
    }
    const DesktopEntry entry = DesktopEntry::read(path);
    if (!entry.isValid()) {
        LOG(WARNING) << "item add skips " << path << ": not a readable desktop entry";
        KelMessageBox::information(m_parent, QStringLiteral("无效的应用程序入口"),
                                   KelMessageBox::Bottom, 3000,
                                   KelMessageBox::getDefaultColor(KelMessageBox::Red), QString());
        return Outcome::Skip;
    }
    if (entry.kind() == DesktopEntry::Kind::Link) {
        // A file manager's link to a place on this machine: a web item refuses local files. A
        // folder becomes a folder item; a file stays behind its entry, which opens it as the
        // desktop does, and never runs it as a program.
        const QUrl url = QUrl::fromUserInput(entry.url());
        const bool folder = url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir();
        record[QStringLiteral("Type")] = folder ? 1 : url.isLocalFile() ? 0 : 2;
        record[QStringLiteral("Path")] = folder              ? url.toLocalFile()
                                         : url.isLocalFile() ? path
                                                             : entry.url();
    } else {
        record[QStringLiteral("Type")] = 0;
        record[QStringLiteral("Path")] = path;
    }
    record[QStringLiteral("Name")] = entry.name();
    record[QStringLiteral("Note")] = entry.note();
    record[QStringLiteral("IconPath")] =
        IconStore::store(DesktopIcons::render(DesktopIcons::icon(entry.icon()), 64), entry.name(),
                         QStringLiteral("拖拽添加"));
    return Outcome::Record;
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
        if (info.isFile() && DesktopEntry::isEntryFile(info.filePath()))
            return readEntry(record.value(QStringLiteral("Path")).toString(), record);
        return Outcome::Record;
    }
    if (info.isDir()) {
        record[QStringLiteral("Type")] = 1;
        record[QStringLiteral("Path")] = info.filePath();
        record[QStringLiteral("Name")] = nameOf(info);
        return Outcome::Record;
    }
    if (info.isFile()) {
        if (DesktopEntry::isEntryFile(info.filePath()))
            return readEntry(info.absoluteFilePath(), record);
        record[QStringLiteral("Type")] = 0;
        record[QStringLiteral("Path")] = info.absoluteFilePath();
        record[QStringLiteral("Name")] = nameOf(info);
        return Outcome::Record;
    }
    LOG(WARNING) << "item add skips " << path << ": no such file, folder or link";
    return Outcome::Skip;
}
