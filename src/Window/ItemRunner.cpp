#include "Window/ItemRunner.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QSqlRecord>
#include <QWidget>
#include <QX11Info>

#include "Actions/ActionProviders.h"
#include "Catalogue/ItemRoles.h"
#include "Catalogue/ItemsModel.h"
#include "Catalogue/ItemsPage.h"
#include "Core/DataControl.h"
#include "Desktop/DesktopEntry.h"
#include "Desktop/DesktopShell.h"
#include "Desktop/ItemStart.h"
#include "KelMessageBox.h"
#include "Core/Questions.h"
#include "Core/SharedItems.h"

#include <easylogging++.h>

namespace {
QString orNone(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("无") : text;
}
} // namespace

ItemRunner::ItemRunner(QWidget *window, ItemsPage *items)
    : QObject(window)
    , m_window(window)
    , m_items(items)
{}

void ItemRunner::runRow(const QModelIndex &index)
{
    if (const ActionRow *answer = m_items->actionAt(index))
        runAnswer(*answer);
    else
        run(index.data(ItemIdRole));
}

void ItemRunner::runRows(const QModelIndexList &rows)
{
    for (const QModelIndex &index : rows)
        runRow(index);
}

void ItemRunner::runGroup()
{
    const ItemsModel *items = m_items->itemsModel();
    for (int row = 0; row < items->rowCount(); ++row)
        runRow(items->index(row, 0));
}

void ItemRunner::count(const QVariant &id)
{
    DataControl &data = DataControl::instance();
    const quint64 before = data.catalogueChanges();
    if (data.item_ran(id))
        m_items->ran(id.toInt(), before);
    emit started();
}

void ItemRunner::refuse(const QString &text)
{
    KelMessageBox::information(m_window, text, KelMessageBox::Bottom, 3000,
                               KelMessageBox::getDefaultColor(KelMessageBox::Red), QString());
}

void ItemRunner::whenStarted(const QFuture<StartOutcome> &start,
                             const std::function<void()> &then,
                             const QString &failure)
{
    auto *watcher = new QFutureWatcher<StartOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, then, failure] {
        watcher->deleteLater();
        const StartOutcome outcome = watcher->result();
        if (outcome)
            then();
        else
            refuse(outcome.reason.isEmpty() ? failure
                                            : failure + QStringLiteral(": ") + outcome.reason);
    });
    watcher->setFuture(start);
}

bool ItemRunner::approvedToRun(const QVariant &id,
                               int type,
                               const QString &path,
                               const QString &arguments,
                               const QString &workingDirectory)
{
    const QString fingerprint = SharedItems::fingerprint(type, path, arguments);
    if (!SharedItems::waitsForApproval(id, fingerprint))
        return true;
    // An entry nobody vouched for asks anyway, showing the same command read from the file it
    // starts: its answer approves the pasted item too, so the user is asked once.
    if (type == 0 && DesktopEntry::isEntryFile(path) && !DesktopEntry::isTrusted(path))
        return true;
    const QString command = ItemStart::command(path, type, arguments, workingDirectory);
    if (command.isEmpty())
        return true;
    LOG(INFO) << "Item_Run: pasted item asks first " << path;
    if (!Questions::confirm(m_window,
                            QStringLiteral("此项目由他人分享，是否运行以下命令？\n\n") + command))
        return false;
    SharedItems::approve(id, fingerprint);
    return true;
}

void ItemRunner::run(const QVariant &id)
{
    const QSqlRecord record = DataControl::instance().item_select(
        QStringLiteral("Path, Type, Arguments, WorkingDirectory"), id);
    const QString path = record.value(QStringLiteral("Path")).toString();
    if (record.isEmpty() || record.value(QStringLiteral("Path")).isNull() || path.isEmpty()) {
        refuse(QStringLiteral("打开失败, 数据有误"));
        return;
    }
    const int type = record.value(QStringLiteral("Type")).toInt();
    const QString arguments = record.value(QStringLiteral("Arguments")).toString();
    const QString workingDirectory = record.value(QStringLiteral("WorkingDirectory")).toString();
    LOG(INFO) << QStringLiteral("Item_Run: Path[%1], Type[%2], Arguments[%3], WorkingDirectory[%4]")
                     .arg(orNone(path), QString::number(type), orNone(arguments),
                          orNone(workingDirectory));

    if (!approvedToRun(id, type, path, arguments, workingDirectory))
        return;
    // The time of the click or key that asks for it lets the started window take the focus.
    const quint32 userTime = QX11Info::isPlatformX11() ? QX11Info::appUserTime() : 0;
    ItemStart start = ItemStart::begin(path, type, arguments, workingDirectory, userTime);
    if (!start.untrustedCommand.isEmpty()) {
        LOG(INFO) << "Item_Run: untrusted entry " << path;
        if (!Questions::confirm(m_window,
                                QStringLiteral("此应用程序入口不受信任，是否仍要启动？\n\n") +
                                    start.untrustedCommand))
            return;
        const QString fingerprint = SharedItems::fingerprint(type, path, arguments);
        if (SharedItems::waitsForApproval(id, fingerprint))
            SharedItems::approve(id, fingerprint);
        start = start.confirmed();
    }
    if (!start.refusal.isEmpty())
        refuse(start.refusal);
    else if (start.start)
        whenStarted(*start.start, [this, id] { count(id); });
    else
        count(id); // a type this program does not know starts nothing, yet counts
}

void ItemRunner::runAnswer(const ActionRow &answer)
{
    ActionContext context;
    context.userTime = QX11Info::isPlatformX11() ? QX11Info::appUserTime() : 0;
    context.confirm = [this](const QString &question) {
        return Questions::confirm(m_window, question);
    };
    const ActionOutcome outcome = ActionProviders::shared().run(answer, context);
    switch (outcome.status) {
    case ActionOutcome::Status::Done:
        if (!outcome.notice.isEmpty())
            KelMessageBox::information(m_window, outcome.notice, KelMessageBox::Bottom, 3000,
                                       KelMessageBox::getDefaultColor(KelMessageBox::Green),
                                       QString());
        break;
    case ActionOutcome::Status::Pending:
        whenStarted(
            *outcome.pending, [this] { emit started(); }, outcome.failure);
        break;
    case ActionOutcome::Status::Refused:
        refuse(outcome.notice);
        break;
    case ActionOutcome::Status::Cancelled:
        break;
    }
}

void ItemRunner::runAsAdministrator(const QVariant &id)
{
    const QSqlRecord record = DataControl::instance().item_select(
        QStringLiteral("Type, Path, Arguments, WorkingDirectory"), id);
    if (record.isEmpty() || record.value(QStringLiteral("Type")).isNull()) {
        refuse(QStringLiteral("打开失败, 数据有误"));
        return;
    }
    if (record.value(QStringLiteral("Type")).toInt() != 0) {
        refuse(QStringLiteral("管理员权限仅支持文件"));
        return;
    }
    const QString path = record.value(QStringLiteral("Path")).toString();
    if (path.isEmpty()) {
        refuse(QStringLiteral("打开失败, 数据有误"));
        return;
    }
    const QString arguments = record.value(QStringLiteral("Arguments")).toString();
    const QString workingDirectory = record.value(QStringLiteral("WorkingDirectory")).toString();
    LOG(INFO) << QStringLiteral("Item_RunAsAdmin: Path[%1], Parameters[%2], WorkingDirectory[%3]")
                     .arg(path, orNone(arguments), orNone(workingDirectory));
    if (!approvedToRun(id, 0, path, arguments, workingDirectory))
        return;
    // The password dialog names only what pkexec runs: the program is named here first.
    if (DesktopShell::asksForAdministrator(path))
        KelMessageBox::information(m_window, QStringLiteral("以管理员身份运行: ") + path,
                                   KelMessageBox::Bottom, 3000,
                                   KelMessageBox::getDefaultColor(KelMessageBox::Blue), QString());
    whenStarted(DesktopShell::startAsAdministrator(path, arguments, workingDirectory),
                [this, id] { count(id); });
}

void ItemRunner::openFolder(const QVariant &id)
{
    const QSqlRecord record = DataControl::instance().item_select(QStringLiteral("Type, Path"), id);
    const QVariant type = record.value(QStringLiteral("Type"));
    if (type.isNull() || type.toInt() != 0) {
        refuse(QStringLiteral("非文件，不操作"));
        return;
    }
    const QString folder = QFileInfo(record.value(QStringLiteral("Path")).toString()).path();
    if (!QDir(folder).exists()) {
        refuse(QStringLiteral("所在文件夹不存在"));
        return;
    }
    whenStarted(DesktopShell::openPath(folder), [] {});
}

void ItemRunner::copyPath(const QVariant &id)
{
    const QSqlRecord record = DataControl::instance().item_select(QStringLiteral("Path"), id);
    QGuiApplication::clipboard()->setText(record.value(QStringLiteral("Path")).toString());
    KelMessageBox::information(m_window, QStringLiteral("已复制"), KelMessageBox::Bottom, 3000,
                               KelMessageBox::getDefaultColor(KelMessageBox::Green), QString());
}
