#include "Desktop/KdeShortcut.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include "Desktop/DesktopEntryText.h"

namespace {
const char service[] = "org.kde.kglobalaccel";
const char path[] = "/kglobalaccel";
const char interface[] = "org.kde.KGlobalAccel";
const char component[] = "quiver-toggle.desktop";
const char launchAction[] = "_launch";
// KGlobalAccel::SetShortcutFlag: the keys are to be active at once, and taken as given rather
// than from KGlobalAccel's own store.
constexpr uint setPresent = 2;
constexpr uint noAutoloading = 4;

QDBusMessage call(const char *method, const QVariantList &arguments)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path),
                                       QString::fromLatin1(interface), QString::fromLatin1(method));
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 5000);
}

QList<int> keysOf(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return qdbus_cast<QList<int>>(reply.arguments().constFirst());
}
} // namespace

bool KdeShortcut::isAvailable()
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    if (!bus)
        return false;
    const QString name = QString::fromLatin1(service);
    return bus->isServiceRegistered(name) || bus->activatableServiceNames().value().contains(name);
}

QString KdeShortcut::place() const
{
    return QStringLiteral("KDE 系统设置 → 快捷键 → “Quiver 显示/隐藏”");
}

QString KdeShortcut::entryPath()
{
    // Where KGlobalAccel looks, whatever this process's own idea of its data folder.
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/applications/") + QString::fromLatin1(component);
}

QString KdeShortcut::execLine(const QStringList &command)
{
    QStringList words;
    for (const QString &word : command)
        words << DesktopEntryText::execArgument(word);
    return words.join(QLatin1Char(' '));
}

QStringList KdeShortcut::actionId()
{
    return {QString::fromLatin1(component), QString::fromLatin1(launchAction),
            QStringLiteral("Quiver 显示/隐藏"), QStringLiteral("显示/隐藏 Quiver")};
}

QString KdeShortcut::takenBy(int key)
{
    // A list of KGlobalShortcutInfo: action, its name, component, its name, context, its name,
    // keys, default keys.
    const QDBusMessage reply = call("getGlobalShortcutsByKey", {key});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QStringLiteral("KDE");
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    QStringList holders;
    argument.beginArray();
    while (!argument.atEnd()) {
        QString actionUnique, actionName, componentUnique, componentName, contextUnique,
            contextName;
        QList<int> keys, defaultKeys;
        argument.beginStructure();
        argument >> actionUnique >> actionName >> componentUnique >> componentName >>
            contextUnique >> contextName >> keys >> defaultKeys;
        argument.endStructure();
        holders << (componentName.isEmpty() ? componentUnique : componentName) +
                       QStringLiteral(": ") + (actionName.isEmpty() ? actionUnique : actionName);
    }
    argument.endArray();
    return holders.isEmpty() ? QStringLiteral("KDE") : holders.join(QStringLiteral(", "));
}

DesktopShortcut::Result KdeShortcut::bind(const QKeySequence &keys, const QStringList &command)
{
    Result result;
    if (keys.isEmpty())
        return result;
    const int key = keys[0];
    const QString entry = entryPath();
    QDir().mkpath(QFileInfo(entry).path());
    QSaveFile file(entry);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return result;
    file.write(QStringLiteral("[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=%1\n"
                              "Exec=%2\n"
                              "NoDisplay=true\n"
                              "StartupNotify=false\n")
                   .arg(DesktopEntryText::string(actionId().at(3)), execLine(command))
                   .toUtf8());
    if (!file.commit())
        return result;
    call("doRegister", {actionId()});
    // Ours already: bound at an earlier start.
    if (keysOf(call("shortcut", {actionId()})).value(0) == key) {
        result.bound = true;
        return result;
    }
    const QDBusMessage available =
        call("isGlobalShortcutAvailable", {key, QString::fromLatin1(component)});
    if (available.type() == QDBusMessage::ReplyMessage && !available.arguments().isEmpty() &&
        !available.arguments().constFirst().toBool()) {
        result.takenBy = takenBy(key);
    } else {
        const QList<int> set =
            keysOf(call("setShortcut", {actionId(), QVariant::fromValue(QList<int>{key}),
                                        setPresent | noAutoloading}));
        result.bound = !set.isEmpty() && set.constFirst() == key;
        if (!result.bound)
            result.takenBy = takenBy(key);
    }
    // Nothing of ours is left behind a refusal: no entry, no registration.
    if (!result.bound)
        unbind();
    return result;
}

bool KdeShortcut::unbind()
{
    if (isAvailable())
        call("unregister", {QString::fromLatin1(component), QString::fromLatin1(launchAction)});
    QFile::remove(entryPath());
    return !isBound();
}

bool KdeShortcut::isBound() const
{
    if (!QFileInfo::exists(entryPath()) || !isAvailable())
        return false;
    const QList<int> keys = keysOf(call("shortcut", {actionId()}));
    return !keys.isEmpty() && keys.constFirst() != 0;
}

bool KdeShortcut::isBoundTo(const QStringList &command, const QKeySequence &keys) const
{
    QFile entry(entryPath());
    if (!isBound() || !entry.open(QIODevice::ReadOnly) ||
        !entry.readAll().contains(QByteArray("\nExec=") + execLine(command).toUtf8() + '\n'))
        return false;
    return keys.isEmpty() || keysOf(call("shortcut", {actionId()})).value(0) == keys[0];
}
