#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindow>
#include <QX11Info>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <memory>

// What a desktop session offers on the test's X server: a window manager (openbox) and a
// system tray (trayer), started by the test where the display has none.
class X11Desktop
{
public:
    // A live window manager, told by the EWMH check: the root window names a child window that
    // names itself. A manager that was killed leaves the root's property behind.
    static bool hasWindowManager()
    {
        xcb_connection_t *connection = QX11Info::connection();
        const xcb_window_t root = QX11Info::appRootWindow();
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, 24, "_NET_SUPPORTING_WM_CHECK"), nullptr);
        if (!atom)
            return false;
        const auto checkWindow = [&](xcb_window_t window) -> xcb_window_t {
            xcb_get_property_reply_t *reply = xcb_get_property_reply(
                connection,
                xcb_get_property(connection, 0, window, atom->atom, XCB_ATOM_WINDOW, 0, 1),
                nullptr);
            xcb_window_t named = XCB_WINDOW_NONE;
            if (reply && xcb_get_property_value_length(reply) == 4)
                named = *static_cast<xcb_window_t *>(xcb_get_property_value(reply));
            free(reply);
            return named;
        };
        const xcb_window_t child = checkWindow(root);
        const bool alive = child != XCB_WINDOW_NONE && checkWindow(child) == child;
        free(atom);
        return alive;
    }

    // Whether the window manager keeps the window above others (_NET_WM_STATE_ABOVE). Asks the
    // window handle for its id: the native window is re-created when a flag changes.
    static bool isKeptAbove(QWidget *window)
    {
        Display *display = QX11Info::display();
        const Atom above = XInternAtom(display, "_NET_WM_STATE_ABOVE", False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char *data = nullptr;
        bool found = false;
        if (XGetWindowProperty(display, window->windowHandle()->winId(),
                               XInternAtom(display, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM,
                               &type, &format, &count, &remaining, &data) == Success &&
            data) {
            const auto *atoms = reinterpret_cast<const Atom *>(data);
            for (unsigned long i = 0; i < count; ++i)
                found = found || atoms[i] == above;
            XFree(data);
        }
        return found;
    }

    // False (with the reason) when there is no X server or a program is missing.
    bool start(bool withTray, QString *reason)
    {
        if (!QX11Info::isPlatformX11()) {
            *reason = QStringLiteral("needs the X server");
            return false;
        }
        if (!hasWindowManager() && !launch(m_windowManager, "openbox", {"--sm-disable"}, reason))
            return false;
        if (!QTest::qWaitFor([] { return hasWindowManager(); }, 10000)) {
            *reason = QStringLiteral("the window manager did not come up");
            return false;
        }
        if (withTray && !QSystemTrayIcon::isSystemTrayAvailable()) {
            if (!launch(m_tray, "trayer",
                        {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                         "120", "--height", "24"},
                        reason))
                return false;
            if (!QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000)) {
                *reason = QStringLiteral("the system tray did not come up");
                return false;
            }
        }
        return true;
    }

    ~X11Desktop()
    {
        for (QProcess *process : {m_tray.get(), m_windowManager.get()}) {
            if (process) {
                process->terminate();
                process->waitForFinished(5000);
            }
        }
    }

    // Runs xdotool with the arguments and waits for it.
    static bool xdotool(const QStringList &arguments)
    {
        QProcess tool;
        tool.start(QStringLiteral("xdotool"), arguments);
        return tool.waitForFinished(10000) && tool.exitCode() == 0;
    }

private:
    static bool launch(std::unique_ptr<QProcess> &process,
                       const char *program,
                       const QStringList &arguments,
                       QString *reason)
    {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty()) {
            *reason = QStringLiteral("needs %1").arg(QLatin1String(program));
            return false;
        }
        process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QLatin1String(program), arguments);
        if (!process->waitForStarted()) {
            *reason = QStringLiteral("%1 does not start").arg(QLatin1String(program));
            return false;
        }
        return true;
    }

    std::unique_ptr<QProcess> m_windowManager;
    std::unique_ptr<QProcess> m_tray;
};
