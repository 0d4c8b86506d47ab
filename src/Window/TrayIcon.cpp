#include "Window/TrayIcon.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

#include "Core/SettingsControl.h"
#include "Icons/IconLoader.h"

TrayIcon::TrayIcon(QWidget *window, const QList<QAction *> &menu)
    : QObject(window)
    , m_icon(new QSystemTrayIcon(this))
    , m_menu(new QMenu(window))
{
    m_icon->setObjectName(QStringLiteral("trayIcon"));
    m_menu->setObjectName(QStringLiteral("menuTray"));
    m_icon->setToolTip(QCoreApplication::applicationName());
    m_menu->addActions(menu);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Context)
                    m_menu->exec(QCursor::pos());
                else if (reason == QSystemTrayIcon::Trigger)
                    emit clicked();
            });
    SettingsControl &settings = SettingsControl::instance();
    connect(&settings, &SettingsControl::trayIconColorChanged, this, &TrayIcon::paint);
    connect(&settings, &SettingsControl::trayIconHideChanged, this, [this](bool hide) {
        m_icon->setVisible(!hide);
        emit visibilityChanged();
    });
}

bool TrayIcon::canBringBack(bool goesWithWindow) const
{
    return QSystemTrayIcon::isSystemTrayAvailable() && !goesWithWindow &&
           !SettingsControl::instance().isTrayIconHide();
}

bool TrayIcon::isShown() const
{
    return m_icon->isVisible();
}

void TrayIcon::hideWithWindow()
{
    m_icon->hide();
}

void TrayIcon::showWithWindow()
{
    if (!m_icon->isVisible() && !SettingsControl::instance().isTrayIconHide())
        m_icon->show();
}

void TrayIcon::paint(const QColor &color)
{
    m_icon->setIcon(QIcon(IconLoader::instance().svgToPixmap(
        QStringLiteral(":/icon/trayIcon.svg"), color.name(), QStringLiteral("fill"))));
    m_icon->setVisible(!SettingsControl::instance().isTrayIconHide());
}
