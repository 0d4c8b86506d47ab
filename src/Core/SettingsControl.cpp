#include "Core/SettingsControl.h"

#include <utility>

#include "KelNetwork.h"
#include "Core/PrivateFiles.h"

#include <easylogging++.h>

SettingsControl &SettingsControl::instance()
{
    static SettingsControl settings;
    return settings;
}

SettingsControl::SettingsControl(const QString &fileName)
    : m_settings(fileName, QSettings::IniFormat)
{}

SettingsControl::~SettingsControl() = default;

QVariant SettingsControl::value(const QString &key, const QVariant &defaultValue) const
{
    return m_settings.value(key, defaultValue);
}

bool SettingsControl::setValue(const QString &key, const QVariant &value)
{
    return write(key, value);
}

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

bool SettingsControl::setDefaultIcon(int type, const QString &hashName)
{
    switch (type) {
    case -1:
        return write(QStringLiteral("DefaultIcons/Lost"), hashName);
    case 2:
        return write(QStringLiteral("DefaultIcons/Web"), hashName);
    case 3:
        return write(QStringLiteral("DefaultIcons/Shell"), hashName);
    default:
        return false;
    }
}

bool SettingsControl::takeManualUpdateCheck()
{
    return std::exchange(m_manualUpdateCheck, false);
}

void SettingsControl::readCaches()
{
    m_thenHide = value(QStringLiteral("Form/ThenHide"), false).toBool();
    m_closeThenQuit = value(QStringLiteral("Form/CloseThenQuit"), false).toBool();
    m_useRelativePath = value(QStringLiteral("Form/UseRelativePath"), false).toBool();
    m_singleClickRun = value(QStringLiteral("Item/SingleClickRun"), false).toBool();
    m_trayIconHide = value(QStringLiteral("Form/TrayIconHide"), false).toBool();
    m_trayIconHideWithMain = value(QStringLiteral("Form/TrayIconHideWithMain"), false).toBool();
    m_instantSearch = value(QStringLiteral("Search/Instant"), true).toBool();
    m_latinOnShow = value(QStringLiteral("Search/LatinOnShow"), true).toBool();
    m_showAtCursor = value(QStringLiteral("Form/ShowAtCursor"), false).toBool();
}

bool SettingsControl::isLogEnabled() const
{
    // On unless turned off: the runs, the ways back and the update check's answers are what a
    // look into the log after a surprise relies on.
    return value(QStringLiteral("Form/LogEnabled"), true).toBool();
}

void SettingsControl::setDragEnabled(bool enable)
{
    const bool written = write(QStringLiteral("Item/DragEnabled"), enable);
    emit dragEnabledChanged(enable);
    emit result(written);
}

void SettingsControl::setSingleClickRun(bool single)
{
    m_singleClickRun = single;
    const bool written = write(QStringLiteral("Item/SingleClickRun"), single);
    emit itemClickChanged(single);
    emit result(written);
}

void SettingsControl::setAutoUpdate(bool update)
{
    const bool written = write(QStringLiteral("Form/AutoUpdate"), update);
    emit result(written);
}

void SettingsControl::setSingleApp(bool isSingle)
{
    const bool written = write(QStringLiteral("Form/IsSingleApp"), isSingle);
    emit result(written);
}

void SettingsControl::setStartUp(bool enable)
{
    write(QStringLiteral("Form/StartUp"), enable);
    // The start-up shortcut step reports the outcome.
    emit startUpWithSystem(enable);
}

void SettingsControl::setThenHide(bool enable)
{
    m_thenHide = enable;
    const bool written = write(QStringLiteral("Form/ThenHide"), enable);
    emit result(written);
}

void SettingsControl::setTrayIconColor(QColor color)
{
    // A half-typed colour is no colour: nothing is stored or repainted.
    if (!color.isValid()) {
        emit result(false);
        return;
    }
    const bool written = write(QStringLiteral("Form/TrayIconColor"), color.name());
    emit trayIconColorChanged(color);
    emit result(written);
}

void SettingsControl::setTrayIconHideWithMain(bool hide)
{
    m_trayIconHideWithMain = hide;
    const bool written = write(QStringLiteral("Form/TrayIconHideWithMain"), hide);
    emit result(written);
}

void SettingsControl::setTrayIconHide(bool hide)
{
    m_trayIconHide = hide;
    const bool written = write(QStringLiteral("Form/TrayIconHide"), hide);
    emit trayIconHide(hide);
    emit result(written);
}

void SettingsControl::setAppRunThenHide(bool enable)
{
    const bool written = write(QStringLiteral("Form/AppRunThenHide"), enable);
    emit result(written);
}

void SettingsControl::setHotKeyPlace(const QString &place)
{
    m_hotKeyPlace = place;
    emit hotKeyPlaceChanged(place);
}

void SettingsControl::setHotKey_showApp(QString key)
{
    write(QStringLiteral("HotKey/ShowApp"), key);
    // The hotkey registration reports the outcome.
    emit hotKeyChanged_showApp(key);
}

void SettingsControl::setCloseThenQuit(bool bQuit)
{
    m_closeThenQuit = bQuit;
    const bool written = write(QStringLiteral("Form/CloseThenQuit"), bQuit);
    emit result(written);
}

void SettingsControl::setUseRelativePath(bool enable)
{
    m_useRelativePath = enable;
    const bool written = write(QStringLiteral("Form/UseRelativePath"), enable);
    emit result(written);
}

void SettingsControl::setInstantSearch(bool instant)
{
    m_instantSearch = instant;
    const bool written = write(QStringLiteral("Search/Instant"), instant);
    emit instantSearchChanged(instant);
    emit result(written);
}

void SettingsControl::setLatinOnShow(bool latin)
{
    m_latinOnShow = latin;
    emit result(write(QStringLiteral("Search/LatinOnShow"), latin));
}

void SettingsControl::setShowAtCursor(bool atCursor)
{
    m_showAtCursor = atCursor;
    emit result(write(QStringLiteral("Form/ShowAtCursor"), atCursor));
}

void SettingsControl::setLogEnabled(bool enabled)
{
    const bool written = write(QStringLiteral("Form/LogEnabled"), enabled);
    emit logEnabledChanged(enabled);
    emit result(written);
}

void SettingsControl::setSkin(QString skinFile)
{
    const bool written = write(QStringLiteral("Form/SkinName"), skinFile);
    emit result(written);
}

QUrl SettingsControl::updateUrl() const
{
    QString host = value(QStringLiteral("Form/UpdateHost")).toString();
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

QUrl SettingsControl::faviconService() const
{
    return QUrl(value(QStringLiteral("Form/FaviconHost")).toString());
}

bool SettingsControl::isSingleApp() const
{
    return value(QStringLiteral("Form/IsSingleApp"), true).toBool();
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
