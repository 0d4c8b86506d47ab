#include "Window/CallUp.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include "Desktop/Activation.h"
#include "Window/KeyboardCatcher.h"
#include "Desktop/LatinInput.h"
#include "Core/SettingsControl.h"
#include "KelMessageBox.h"
#include "Window/ShowHotkey.h"
#include "Window/TrayIcon.h"

#include <easylogging++.h>

#include <xcb/xcb.h>

CallUp::CallUp(QWidget *window, QLineEdit *search, TrayIcon *tray)
    : QObject(window)
    , m_window(window)
    , m_search(search)
    , m_tray(tray)
    , m_keyboardCatcher(new KeyboardCatcher(this))
    , m_latinInput(new LatinInput(window, this))
{
    window->installEventFilter(this);
    qApp->installNativeEventFilter(this);
    connect(tray, &TrayIcon::clicked, this, &CallUp::toggle);
    connect(tray, &TrayIcon::visibilityChanged, this, &CallUp::keepReachable);
    connect(&SettingsControl::instance(), &SettingsControl::showHotkeyChanged, this,
            &CallUp::registerHotkey);
}

void CallUp::startHotkey()
{
    SettingsControl &settings = SettingsControl::instance();
    m_showHotkey = new ShowHotkey(this);
    // Typing starts with the hotkey: the keyboard is taken at the press itself, before a key
    // typed right after it can reach the window that had the focus.
    connect(
        m_showHotkey, &ShowHotkey::pressed, this,
        [this] {
            if (!isInFront() && SettingsControl::instance().isInstantSearch())
                m_keyboardCatcher->catchFor(m_search);
        },
        Qt::DirectConnection);
    connect(m_showHotkey, &ShowHotkey::activated, this, &CallUp::toggle);
    connect(m_showHotkey, &ShowHotkey::result, &settings, &SettingsControl::result);
    // Told once the window is up when found at start.
    connect(m_showHotkey, &ShowHotkey::refused, this, [this](const QString &text) {
        QTimer::singleShot(0, this, [this, text] {
            KelMessageBox::information(m_window, text, KelMessageBox::Bottom, 3000,
                                       KelMessageBox::getDefaultColor(KelMessageBox::Red),
                                       QString());
        });
    });
    connect(m_showHotkey, &ShowHotkey::placeChanged, &settings, &SettingsControl::setHotKeyPlace);
    emit settings.showHotkeyChanged(settings.showHotkey());
}

QStringList CallUp::waysBack() const
{
    QStringList ways;
    // The hotkey first: asking for the tray may probe the session bus.
    if (m_showHotkey && m_showHotkey->isWayBack())
        ways << QStringLiteral("快捷键 (%1)").arg(m_showHotkey->place());
    if (m_tray->canBringBack(false))
        ways << QStringLiteral("托盘图标");
    return ways;
}

bool CallUp::canHide(bool trayHidesToo) const
{
    return m_tray->canBringBack(trayHidesToo) || (m_showHotkey && m_showHotkey->isWayBack());
}

void CallUp::command(CommandLine::Command command, const Activation::Request &request)
{
    const SettingsControl &settings = SettingsControl::instance();
    switch (command) {
    case CommandLine::Command::Toggle:
        Activation::prepare(request);
        toggle();
        break;
    case CommandLine::Command::Show:
        Activation::prepare(request);
        bringToFront();
        break;
    case CommandLine::Command::Hide:
        if (m_window->isVisible())
            hideWindow(settings.isTrayIconHideWithMain() || settings.isTrayIconHide());
        break;
    case CommandLine::Command::Quit:
        QCoreApplication::quit();
        break;
    case CommandLine::Command::Start:
        break;
    }
}

void CallUp::hideWindow(bool hideTray)
{
    if (!canHide(hideTray)) {
        m_window->showMinimized();
        return;
    }
    m_window->hide();
    if (hideTray)
        m_tray->hideWithWindow();
}

bool CallUp::isInFront() const
{
    if (m_window->isMinimized() || m_window->isHidden())
        return false;
    // Shown a moment ago, the window may not be active yet (the window manager has not
    // answered, or a late deactivation of the hide before arrived): it is in front all the
    // same, and a press within the next second hides it.
    const bool justShown =
        m_activationRequested.isValid() && !m_activationRequested.hasExpired(1000);
    // The window manager knows best: Qt takes a window for active until 400 ms after it lost
    // the focus, and a user who has gone on to another window since a request sees that one
    // active.
    if (const std::optional<quint32> active = Activation::activeWindow())
        return *active == m_window->winId() || (justShown && active == m_activeWhenRequested);
    return m_window->isActiveWindow() || justShown;
}

void CallUp::toggle()
{
    if (!isInFront()) {
        bringToFront();
        return;
    }
    const SettingsControl &settings = SettingsControl::instance();
    hideWindow(settings.isTrayIconHideWithMain() || settings.isTrayIconHide());
}

void CallUp::bringToFront()
{
    const SettingsControl &settings = SettingsControl::instance();
    if (settings.isLatinOnShow())
        m_latinInput->calledUp();
    m_placement.placeOnPointerScreen(m_window, settings.isShowAtCursor());
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
    focusSearch();
    if (!m_window->isActiveWindow()) {
        m_activationRequested.start();
        m_activeWhenRequested = Activation::activeWindow();
    }
    m_tray->showWithWindow();
}

void CallUp::focusSearch()
{
    if (!SettingsControl::instance().isInstantSearch())
        return;
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

void CallUp::activationArrived()
{
    m_activationRequested.invalidate();
}

bool CallUp::nativeEventFilter(const QByteArray &eventType, void *message, long *)
{
    const auto *event = static_cast<xcb_generic_event_t *>(message);
    if (eventType != "xcb_generic_event_t" || (event->response_type & ~0x80) != XCB_FOCUS_IN)
        return false;
    const auto *focus = reinterpret_cast<const xcb_focus_in_event_t *>(event);
    if (focus->event == m_window->winId())
        focusArrived(focus->detail != XCB_NOTIFY_DETAIL_POINTER);
    return false;
}

void CallUp::focusArrived(bool keyboard)
{
    // Hidden and called up again before Qt decided that the focus had gone (it waits 400 ms
    // for it to come back), the window is still Qt's focus window: the focus returning changes
    // nothing there, and the widgets, deactivated by the hide, would stay inactive.
    // A focus that arrives after a hide (a call-up and a hide handled at once) is not taken.
    if (keyboard && m_window->isVisible() && !m_window->isMinimized() &&
        QGuiApplication::focusWindow() == m_window->windowHandle() && !m_window->isActiveWindow())
        QApplication::setActiveWindow(m_window);
    activationArrived();
}

bool CallUp::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        // Shown by us, not reported shown by the window system later: by then keys typed into
        // the box would be selected and replaced.
        if (!event->spontaneous())
            focusSearch();
        break;
    case QEvent::ActivationChange:
        if (m_window->isActiveWindow())
            activationArrived();
        break;
    case QEvent::Hide:
        m_placement.remember(m_window);
        m_activationRequested.invalidate();
        break;
    case QEvent::Close: {
        const SettingsControl &settings = SettingsControl::instance();
        if (settings.isCloseThenQuit()) {
            QCoreApplication::quit();
            break;
        }
        // Hidden even when the close came from the window manager while another window was
        // active.
        hideWindow(settings.isTrayIconHideWithMain() || settings.isTrayIconHide());
        event->ignore();
        return true;
    }
    default:
        break;
    }
    return false;
}

void CallUp::registerHotkey(const QString &key)
{
    if (!m_showHotkey)
        return;
    m_showHotkey->set(key);
    keepReachable();
}

void CallUp::keepReachable()
{
    // Hidden, with nothing left that could bring it back: it stays as a minimised window. The
    // tray icon may have gone with the window.
    if (m_ready && m_window->isHidden() && !canHide(!m_tray->isShown()))
        m_window->showMinimized();
}
