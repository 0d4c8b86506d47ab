#pragma once

#include <QList>
#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The icon in the notification area: painted in the colour the settings hold and shown unless
// they hide it; a click calls the window up, a right click opens its menu. A desktop without a
// notification area shows none, and then it brings no hidden window back.
class TrayIcon final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)

public:
    // The menu holds the actions given, and belongs to the window like its other menus.
    TrayIcon(QWidget *window, const QList<QAction *> &menu);

    // Whether the icon could bring a hidden window back: there is a notification area, the
    // settings show the icon, and it does not go together with the window.
    bool canBringBack(bool goesWithWindow) const;
    // Whether a notification area shows it now.
    bool isShown() const;
    // With the window: hidden with it when asked, shown again with it unless the settings hide
    // it.
    void hideWithWindow();
    void showWithWindow();

signals:
    void clicked();
    // The settings hid or showed it.
    void visibilityChanged();

private:
    void paint(const QColor &color);

    QSystemTrayIcon *m_icon;
    QMenu *m_menu;
};
