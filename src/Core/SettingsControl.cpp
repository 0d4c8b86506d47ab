#include "Core/SettingsControl.h"

#include <utility>

#include "KelNetwork.h"
#include "Core/PrivateFiles.h"

#include <easylogging++.h>

namespace {
// A key of config.ini and what it reads as while the file does not hold it.
struct Key
{
    QString name;
    QVariant fallback = {};
};

namespace keys {
const Key singleApp{QStringLiteral("Form/IsSingleApp"), true};
const Key appRunThenHide{QStringLiteral("Form/AppRunThenHide"), false};
const Key autoUpdate{QStringLiteral("Form/AutoUpdate"), true};
const Key startUp{QStringLiteral("Form/StartUp"), false};
const Key closeThenQuit{QStringLiteral("Form/CloseThenQuit"), false};
const Key thenHide{QStringLiteral("Form/ThenHide"), false};
const Key useRelativePath{QStringLiteral("Form/UseRelativePath"), false};
const Key trayIconHide{QStringLiteral("Form/TrayIconHide"), false};
const Key trayIconHideWithMain{QStringLiteral("Form/TrayIconHideWithMain"), false};
const Key trayIconColor{QStringLiteral("Form/TrayIconColor"), QStringLiteral("white")};
const Key skinName{QStringLiteral("Form/SkinName"), QString()};
const Key geometry{QStringLiteral("Form/Geometry"), QByteArray()};
const Key lastType{QStringLiteral("Form/LastType"), 0};
const Key lastGroup{QStringLiteral("Form/LastGroup"), 0};
const Key importOffered{QStringLiteral("Form/ImportOffered"), false};
const Key showAtCursor{QStringLiteral("Form/ShowAtCursor"), false};
const Key logEnabled{QStringLiteral("Form/LogEnabled"), true};
const Key updateHost{QStringLiteral("Form/UpdateHost"), QString()};
const Key faviconHost{QStringLiteral("Form/FaviconHost"), QString()};
const Key singleClickRun{QStringLiteral("Item/SingleClickRun"), false};
const Key dragEnabled{QStringLiteral("Item/DragEnabled"), true};
const Key pastedItems{QStringLiteral("Item/PastedItems"), QStringList()};
const Key showHotkey{QStringLiteral("HotKey/ShowApp"), QString()};
const Key instantSearch{QStringLiteral("Search/Instant"), true};
const Key latinOnShow{QStringLiteral("Search/LatinOnShow"), true};
// Absent, they read as an invalid value: the callers tell it from a stored one.
const Key commandHistory{QStringLiteral("Search/CommandHistory")};
const Key webKeywordTable{QStringLiteral("Search/WebKeywordTable")};
} // namespace keys

// "Search/<provider>": every provider's answers are on until turned off.
Key providerKey(const QString &provider)
{
    return {QStringLiteral("Search/") + provider, true};
}

// The lost item's, the web address's and the command line's; none for any other type.
std::optional<Key> defaultIconKey(int type)
{
    switch (type) {
    case -1:
        return Key{QStringLiteral("DefaultIcons/Lost"), QString()};
    case 2:
        return Key{QStringLiteral("DefaultIcons/Web"), QString()};
    case 3:
        return Key{QStringLiteral("DefaultIcons/Shell"), QString()};
    default:
        return std::nullopt;
    }
}

QVariant read(const QSettings &settings, const Key &key)
{
    return settings.value(key.name, key.fallback);
}
} // namespace

SettingsControl &SettingsControl::instance()
{
    static SettingsControl settings;
    return settings;
}

SettingsControl::SettingsControl(const QString &fileName)
    : m_settings(fileName, QSettings::IniFormat)
{}

SettingsControl::~SettingsControl() = default;

bool SettingsControl::write(const QString &key, const QVariant &value)
{
    // Written through at once, so a read-only or full disk is reported instead of lost at exit.
    // A QSettings keeps the first error it met for the rest of its life; one made for this
    // write alone (it shares the parsed file with m_settings) judges this write on its own. A
    // malformed line it read is no failure to write: the file is written whole all the same.
    QSettings file(m_settings.fileName(), QSettings::IniFormat);
    file.setValue(key, value);
    file.sync();
    // The file holds the commands typed in the search box: made anew, it is open to everyone.
    PrivateFiles::restrict(file.fileName());
    return file.status() != QSettings::AccessError;
}

void SettingsControl::sync()
{
    m_settings.sync();
}

bool SettingsControl::isSingleApp() const
{
    return read(m_settings, keys::singleApp).toBool();
}

bool SettingsControl::isAppRunThenHide() const
{
    return read(m_settings, keys::appRunThenHide).toBool();
}

bool SettingsControl::isAutoUpdate() const
{
    return read(m_settings, keys::autoUpdate).toBool();
}

bool SettingsControl::isStartUp() const
{
    return read(m_settings, keys::startUp).toBool();
}

bool SettingsControl::isDragEnabled() const
{
    return read(m_settings, keys::dragEnabled).toBool();
}

bool SettingsControl::isLogEnabled() const
{
    // On unless turned off: the runs, the ways back and the update check's answers are what a
    // look into the log after a surprise relies on.
    return read(m_settings, keys::logEnabled).toBool();
}

QColor SettingsControl::trayIconColor() const
{
    return QColor(read(m_settings, keys::trayIconColor).toString());
}

QString SettingsControl::skinName() const
{
    return read(m_settings, keys::skinName).toString();
}

QString SettingsControl::showHotkey() const
{
    return read(m_settings, keys::showHotkey).toString();
}

QByteArray SettingsControl::windowGeometry() const
{
    return read(m_settings, keys::geometry).toByteArray();
}

bool SettingsControl::setWindowGeometry(const QByteArray &windowGeometry)
{
    return write(keys::geometry.name, windowGeometry);
}

int SettingsControl::lastTypeId() const
{
    return read(m_settings, keys::lastType).toInt();
}

bool SettingsControl::setLastTypeId(int id)
{
    return write(keys::lastType.name, id);
}

int SettingsControl::lastGroupId() const
{
    return read(m_settings, keys::lastGroup).toInt();
}

bool SettingsControl::setLastGroupId(int id)
{
    return write(keys::lastGroup.name, id);
}

bool SettingsControl::isImportOffered() const
{
    return read(m_settings, keys::importOffered).toBool();
}

bool SettingsControl::setImportOffered(bool offered)
{
    return write(keys::importOffered.name, offered);
}

QString SettingsControl::defaultIcon(int type) const
{
    const std::optional<Key> key = defaultIconKey(type);
    return key ? read(m_settings, *key).toString() : QString();
}

bool SettingsControl::setDefaultIcon(int type, const QString &hashName)
{
    const std::optional<Key> key = defaultIconKey(type);
    return key && write(key->name, hashName);
}

QUrl SettingsControl::updateUrl() const
{
    QString host = read(m_settings, keys::updateHost).toString();
    if (host.isEmpty())
        host = QStringLiteral(QUIVER_UPDATE_HOST);
    if (host.isEmpty())
        return QUrl();
    // The reply decides what the user is offered to download: only over a verified connection.
    const QUrl url(host + QStringLiteral("/quiver/update.html"));
    if (url.scheme() != QLatin1String("https")) {
        LOG(WARNING) << "更新服务器不是https地址, 已忽略: " << host;
        return QUrl();
    }
    return url;
}

bool SettingsControl::setUpdateHost(const QString &host)
{
    return write(keys::updateHost.name, host);
}

QUrl SettingsControl::faviconService() const
{
    return QUrl(read(m_settings, keys::faviconHost).toString());
}

bool SettingsControl::setFaviconHost(const QString &host)
{
    return write(keys::faviconHost.name, host);
}

bool SettingsControl::isProviderEnabled(const QString &key) const
{
    return read(m_settings, providerKey(key)).toBool();
}

bool SettingsControl::setProviderEnabled(const QString &key, bool enabled)
{
    return write(providerKey(key).name, enabled);
}

std::optional<QStringList> SettingsControl::commandHistory() const
{
    const QVariant stored = read(m_settings, keys::commandHistory);
    if (stored.isValid() && stored.type() != QVariant::StringList &&
        stored.type() != QVariant::String)
        return std::nullopt;
    return stored.toStringList();
}

bool SettingsControl::setCommandHistory(const QStringList &commands)
{
    return write(keys::commandHistory.name, commands);
}

std::optional<QString> SettingsControl::webKeywordTable() const
{
    const QVariant stored = read(m_settings, keys::webKeywordTable);
    if (!stored.isValid())
        return std::nullopt;
    return stored.toString();
}

bool SettingsControl::setWebKeywordTable(const QString &table)
{
    return write(keys::webKeywordTable.name, table);
}

QStringList SettingsControl::pastedItems() const
{
    return read(m_settings, keys::pastedItems).toStringList();
}

bool SettingsControl::setPastedItems(const QStringList &entries)
{
    return write(keys::pastedItems.name, entries);
}

bool SettingsControl::takeManualUpdateCheck()
{
    return std::exchange(m_manualUpdateCheck, false);
}

void SettingsControl::readCaches()
{
    m_thenHide = read(m_settings, keys::thenHide).toBool();
    m_closeThenQuit = read(m_settings, keys::closeThenQuit).toBool();
    m_useRelativePath = read(m_settings, keys::useRelativePath).toBool();
    m_singleClickRun = read(m_settings, keys::singleClickRun).toBool();
    m_trayIconHide = read(m_settings, keys::trayIconHide).toBool();
    m_trayIconHideWithMain = read(m_settings, keys::trayIconHideWithMain).toBool();
    m_instantSearch = read(m_settings, keys::instantSearch).toBool();
    m_latinOnShow = read(m_settings, keys::latinOnShow).toBool();
    m_showAtCursor = read(m_settings, keys::showAtCursor).toBool();
}

void SettingsControl::setDragEnabled(bool enable)
{
    const bool written = write(keys::dragEnabled.name, enable);
    emit dragEnabledChanged(enable);
    emit result(written);
}

void SettingsControl::setSingleClickRun(bool single)
{
    m_singleClickRun = single;
    const bool written = write(keys::singleClickRun.name, single);
    emit itemClickChanged(single);
    emit result(written);
}

void SettingsControl::setAutoUpdate(bool update)
{
    const bool written = write(keys::autoUpdate.name, update);
    emit result(written);
}

void SettingsControl::setSingleApp(bool isSingle)
{
    const bool written = write(keys::singleApp.name, isSingle);
    emit result(written);
}

void SettingsControl::setStartUp(bool enable)
{
    write(keys::startUp.name, enable);
    // The start-up shortcut step reports the outcome.
    emit startUpWithSystem(enable);
}

void SettingsControl::setThenHide(bool enable)
{
    m_thenHide = enable;
    const bool written = write(keys::thenHide.name, enable);
    emit result(written);
}

void SettingsControl::setTrayIconColor(QColor color)
{
    // A half-typed colour is no colour: nothing is stored or repainted.
    if (!color.isValid()) {
        emit result(false);
        return;
    }
    const bool written = write(keys::trayIconColor.name, color.name());
    emit trayIconColorChanged(color);
    emit result(written);
}

void SettingsControl::setTrayIconHideWithMain(bool hide)
{
    m_trayIconHideWithMain = hide;
    const bool written = write(keys::trayIconHideWithMain.name, hide);
    emit result(written);
}

void SettingsControl::setTrayIconHide(bool hide)
{
    m_trayIconHide = hide;
    const bool written = write(keys::trayIconHide.name, hide);
    emit trayIconHideChanged(hide);
    emit result(written);
}

void SettingsControl::setAppRunThenHide(bool enable)
{
    const bool written = write(keys::appRunThenHide.name, enable);
    emit result(written);
}

void SettingsControl::setHotKeyPlace(const QString &place)
{
    m_hotKeyPlace = place;
    emit hotKeyPlaceChanged(place);
}

void SettingsControl::setShowHotkey(const QString &key)
{
    write(keys::showHotkey.name, key);
    // The hotkey registration reports the outcome.
    emit showHotkeyChanged(key);
}

void SettingsControl::setCloseThenQuit(bool bQuit)
{
    m_closeThenQuit = bQuit;
    const bool written = write(keys::closeThenQuit.name, bQuit);
    emit result(written);
}

void SettingsControl::setUseRelativePath(bool enable)
{
    m_useRelativePath = enable;
    const bool written = write(keys::useRelativePath.name, enable);
    emit result(written);
}

void SettingsControl::setInstantSearch(bool instant)
{
    m_instantSearch = instant;
    const bool written = write(keys::instantSearch.name, instant);
    emit instantSearchChanged(instant);
    emit result(written);
}

void SettingsControl::setLatinOnShow(bool latin)
{
    m_latinOnShow = latin;
    emit result(write(keys::latinOnShow.name, latin));
}

void SettingsControl::setShowAtCursor(bool atCursor)
{
    m_showAtCursor = atCursor;
    emit result(write(keys::showAtCursor.name, atCursor));
}

void SettingsControl::setLogEnabled(bool enabled)
{
    const bool written = write(keys::logEnabled.name, enabled);
    emit logEnabledChanged(enabled);
    emit result(written);
}

void SettingsControl::setSkin(QString skinFile)
{
    const bool written = write(keys::skinName.name, skinFile);
    emit result(written);
}

void SettingsControl::checkUpdate()
{
    // The about page's button asks; the timer at start-up has no sender.
    if (sender() && sender()->objectName() == QLatin1String("pushButton_checkUpdate"))
        m_manualUpdateCheck = true;
    const QUrl url = updateUrl();
    constexpr qint64 maximumReply = 64 * 1024;
    emit updateFinished(url.isEmpty() ? QByteArray()
                                      : KelNetwork::blockingGet(url, 5000, maximumReply));
}
