#pragma once

#include <QColor>
#include <QObject>
#include <QSettings>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <optional>

// The user's settings: the INI file "../data/config.ini", the flags read often, and a signal
// for every change the main window acts on. Every key is read and written through an accessor
// of its own, which knows its default; the setters the settings window connects its controls to
// are slots.
class SettingsControl final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsControl)

public:
    // The process-wide store; every part of the launcher uses this one.
    static SettingsControl &instance();

    // Opens the settings file relative to the current working directory. Only the process
    // store and tests create one.
    explicit SettingsControl(const QString &fileName = QStringLiteral("../data/config.ini"));
    ~SettingsControl() override;

    // Writes what is pending and reads what other writers of the file changed since.
    void sync();

    // The settings read where they are needed. Setters that are no slots return whether the
    // value reached the file.
    // "Form/IsSingleApp": a second start hands over to the running instance. On where the file
    // does not say otherwise: two instances on one catalogue would each overwrite the other's
    // changes.
    bool isSingleApp() const;
    bool isAppRunThenHide() const;
    bool isAutoUpdate() const;
    bool isStartUp() const;
    bool isDragEnabled() const;
    // The log holds every line; otherwise only warnings and errors, besides its start and end.
    bool isLogEnabled() const;
    QColor trayIconColor() const;
    QString skinName() const;
    // The show/hide hotkey in its native text form; empty for none.
    QString showHotkey() const;
    // The main window's geometry at its last clean end, as QWidget::saveGeometry() gave it.
    QByteArray windowGeometry() const;
    bool setWindowGeometry(const QByteArray &geometry);
    // The type and group shown last, where the next start opens; 0 for none.
    int lastTypeId() const;
    bool setLastTypeId(int id);
    int lastGroupId() const;
    bool setLastGroupId(int id);
    // Whether a start with an empty catalogue offered to import the installed applications.
    bool isImportOffered() const;
    bool setImportOffered(bool offered);

    // The icon hash name stored as the default icon of a lost item (-1), a web address (2) or
    // a command line (3); empty when none is, and for any other type.
    QString defaultIcon(int type) const;
    // Any other type is ignored.
    bool setDefaultIcon(int type, const QString &hashName);

    // The update service: "/quiver/update.html" on the host of the setting "Form/UpdateHost",
    // or else on the host this build was configured with; empty when there is none or it is
    // not an https address.
    QUrl updateUrl() const;
    bool setUpdateHost(const QString &host);
    // The base address of the favicon service ("Form/FaviconHost"); empty when none is set.
    QUrl faviconService() const;
    bool setFaviconHost(const QString &host);

    // Whether the search box's answers of that provider are on; they are unless turned off.
    bool isProviderEnabled(const QString &key) const;
    bool setProviderEnabled(const QString &key, bool enabled);
    // The commands typed in the search box, newest first; none when the file holds something
    // else than texts there.
    std::optional<QStringList> commandHistory() const;
    bool setCommandHistory(const QStringList &commands);
    // The web keywords as the JSON text they are kept in; none while never stored.
    std::optional<QString> webKeywordTable() const;
    bool setWebKeywordTable(const QString &table);
    // The pasted items' entries, as SharedItems writes them.
    QStringList pastedItems() const;
    bool setPastedItems(const QStringList &entries);

    bool takeManualUpdateCheck();

    // The flags consulted often, read from the file once at start-up and afterwards kept by
    // the setters.
    void readCaches();
    bool isSingleClickRun() const { return m_singleClickRun; }
    bool isThenHide() const { return m_thenHide; }
    bool isCloseThenQuit() const { return m_closeThenQuit; }
    bool isUseRelativePath() const { return m_useRelativePath; }
    bool isTrayIconHideWithMain() const { return m_trayIconHideWithMain; }
    bool isTrayIconHide() const { return m_trayIconHide; }
    bool isInstantSearch() const { return m_instantSearch; }
    // The input method starts in its Latin state each time the window is called up.
    bool isLatinOnShow() const { return m_latinOnShow; }
    // Called up, the window comes centred on the pointer's screen; otherwise where it was last.
    bool isShowAtCursor() const { return m_showAtCursor; }

    // Where the show/hide hotkey lives now (an X11 grab, the desktop's shortcut settings), as
    // the main window registered it; never stored.
    QString hotKeyPlace() const { return m_hotKeyPlace; }
    void setHotKeyPlace(const QString &place);

    // Debug switches of the debugger window; never stored.
    bool isIconLoadEnabled() const { return m_iconLoadEnabled; }
    void setIconLoadEnabled(bool enabled) { m_iconLoadEnabled = enabled; }
    bool isTimeMonitoring() const { return m_timeMonitoring; }
    void setTimeMonitoring(bool enabled) { m_timeMonitoring = enabled; }

signals:
    void startUpWithSystem(bool enable);
    void trayIconHideChanged(bool hide);
    void trayIconColorChanged(QColor color);
    void showHotkeyChanged(const QString &key);
    void result(bool isOk);
    void updateFinished(QByteArray reply);
    void itemClickChanged(bool singleClick);
    void dragEnabledChanged(bool enable);
    void instantSearchChanged(bool instant);
    void hotKeyPlaceChanged(const QString &place);
    void logEnabledChanged(bool enabled);

public slots:
    void setDragEnabled(bool enable);
    void setSingleClickRun(bool single);
    void setAutoUpdate(bool update);
    void setSingleApp(bool isSingle);
    void setStartUp(bool enable);
    void setThenHide(bool enable);
    void setTrayIconColor(QColor color);
    void setTrayIconHideWithMain(bool hide);
    void setTrayIconHide(bool hide);
    void setAppRunThenHide(bool enable);
    void setShowHotkey(const QString &key);
    void setCloseThenQuit(bool bQuit);
    void setUseRelativePath(bool enable);
    void setSkin(QString skinFile);
    void setInstantSearch(bool instant);
    void setLatinOnShow(bool latin);
    void setShowAtCursor(bool atCursor);
    void setLogEnabled(bool enabled);
    // Asks the update service synchronously (up to 5 s) and emits updateFinished with the reply,
    // empty on any failure.
    void checkUpdate();

private:
    bool write(const QString &key, const QVariant &value);

    QSettings m_settings;
    bool m_singleClickRun = false;
    bool m_thenHide = false;
    bool m_closeThenQuit = false;
    bool m_manualUpdateCheck = false;
    bool m_useRelativePath = false;
    bool m_trayIconHideWithMain = false;
    bool m_trayIconHide = false;
    bool m_instantSearch = true;
    bool m_latinOnShow = true;
    bool m_showAtCursor = false;
    bool m_iconLoadEnabled = true;
    bool m_timeMonitoring = false;
    QString m_hotKeyPlace;
};
